// A tiny library for the program-file fuzzer's seeds and the reader's unit test: imports by name
// (KERNEL32), by ordinal (OLEAUT32) and delay-loaded (USER32); exports by name, by ordinal only
// and one forwarded. It is only ever read, never run.
__declspec(dllimport) unsigned long __stdcall GetTickCount(void);
__declspec(dllimport) void __stdcall Sleep(unsigned long);
__declspec(dllimport) int __stdcall MessageBeep(unsigned);
__declspec(dllimport) void* __stdcall SysAllocString(const unsigned short*);

int __stdcall DllRegisterServer(void) {
  Sleep(0);
  return (int)GetTickCount();
}
int __stdcall DllUnregisterServer(void) { return MessageBeep(0) + (SysAllocString(0) != 0); }
int __stdcall Hidden(void) { return 7; }
int __stdcall Entry(void* module, unsigned long reason, void* reserved) {
  (void)module, (void)reason, (void)reserved;
  return 1;
}
// What a delay-loaded call goes through.
void* __stdcall __delayLoadHelper2(const void* descriptor, void** slot) {
  (void)descriptor;
  return *slot;
}
