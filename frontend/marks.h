// Timing marks for the benchmark: with PELLORY_MARKS naming a file, each mark notes the
// performance counter (one clock for every process) and the marks are written to that file as
// "name counter" lines when Pellory ends. Without it a mark is one test of a flag.
#pragma once

namespace marks {

// Reads the variable; the first thing Pellory does.
void Begin();

// NAME must outlive the process (a literal).
void Note(const wchar_t* name);

// Writes the marks noted so far, if any were asked for.
void Write();

}  // namespace marks
