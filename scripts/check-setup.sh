#!/usr/bin/env bash
# Fails when a script or build file uses a program or a file that scripts/setup.sh does not
# declare, or when setup declares one that none of its packages (with their dependencies, not
# their recommendations) provides. A new machine has only what setup installs; this finds a
# missing install step on any machine.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A declared
packages=()
while read -r kind item; do
  declared[$item]=1
  [ "$kind" = package ] && packages+=("$item")
done < <(scripts/setup.sh --needs)

mapfile -t shells < <(git ls-files --cached --others --exclude-standard -- '*.sh' .ci/run)
mapfile -t cmakes < <(git ls-files --cached --others --exclude-standard -- '*CMakeLists.txt' '*.cmake')
mapfile -t texts < <(git ls-files --cached --others --exclude-standard -- \
  '*.sh' .ci/run '*CMakeLists.txt' '*.cmake' '*.cpp' '*.h' '*.nsi' | grep -v '^scripts/setup.sh$')

# Words in command position in the shell scripts, and the functions they define.
# Quoted text is data (patterns, messages), not commands, unless it substitutes one.
used=$(perl -ne '
  next if /^#!/;
  if ($quoted) { next unless s/^[^\x27]*\x27//; $quoted = 0 }
  s/(^|\s)#.*$//;
  s{(\x27[^\x27]*\x27|"(?:[^"\\]|\\.)*")}{
    my $q = $1;
    $q =~ m{^".*(\$\(|`)} ? $q =~ s/\x27[^\x27]*\x27//gr : "" }ge;
  $quoted = 1 if s/\x27.*$//;
  s/\$?\(\([^)]*\)\)//g;
  s/^\s*[\w*|" -]+\)(\s|$)//;
  if (/^\s*([A-Za-z_]\w*)\s*\(\)/) { print "function $1\n"; next }
  for my $part (split /\|\||&&|[;|&(`]|\$\(|\b(?:then|do|else|elif|if|while|until|exec|time)\b|!/) {
    $part =~ s/^\s*(?:[A-Za-z_]\w*=(?:"[^"]*"|\S*)\s+)*//;
    print "program $1\n" if $part =~ /^([A-Za-z][\w.+-]*)(?:[\s)"]|$)/;
  }' "${shells[@]}" | sort -u)
# Programs that the build files look for or compile with, for both Windows targets.
used+=$'\n'$(perl -ne '
  print "program $1\n" while /(?:find_program\(\w+ (?:NAMES )?|_COMPILER )([\w.+\${}-]+)/g;
  ' "${cmakes[@]}" | sed -e 'p;s/i686-w64-mingw32/x86_64-w64-mingw32/' |
  sed -e 's/\${triple}/i686-w64-mingw32/;t' -e 'p' | sort -u)
used+=$'\n'$(perl -ne 'next if /^#!/; print "file $1\n" while m{(/usr/[\w./+-]+)}g' "${texts[@]}" |
  sed 's|/$||' | sort -u)

declare -A functions
while read -r kind item; do [ "$kind" = function ] && functions[$item]=1; done <<<"$used"

failures=0
fail() {
  echo "check-setup: $*" >&2
  failures=$((failures + 1))
}

# The programs and files to trace to a package: what the scripts use beyond setup's lists, and
# everything setup declares.
declare -A pathOf declaredPath
while read -r kind item; do
  [ -n "$item" ] && [ -z "${declared[$item]:-}" ] && [ -z "${functions[$item]:-}" ] || continue
  case $kind in
    program)
      case $(type -t "$item") in file | "") ;; *) continue ;; esac
      pathOf[$item]=$(type -P "$item") ||
        fail "the scripts run $item, which setup neither installs nor declares"
      ;;
    file)
      covered=
      for d in "${!declared[@]}"; do [[ $d == "$item"/* ]] && covered=1 && break; done
      [ -n "$covered" ] || fail "the sources use $item, which setup does not declare"
      ;;
  esac
done <<<"$used"
while read -r kind item; do
  case $kind in
    program) declaredPath[$item]=$(type -P "$item") || fail "setup declares $item, but it is not installed" ;;
    file) declaredPath[$item]=$item ;;
  esac
done < <(scripts/setup.sh --needs)

# One dpkg look-up for all of them; with a merged /usr, dpkg knows the base system's programs by
# their old /bin paths.
declare -A resolved ownerOf
for item in "${!pathOf[@]}" "${!declaredPath[@]}"; do
  p=${pathOf[$item]:-${declaredPath[$item]:-}}
  [ -n "$p" ] && resolved[$item]=$(readlink -f "$p")
done
mapfile -t lookups < <(printf '%s\n' "${resolved[@]}" | sed 'p;s|^/usr||' | sort -u)
while IFS= read -r line; do
  ownerOf[${line#*: }]=$(cut -d: -f1 <<<"${line%%,*}")
done < <(dpkg -S "${lookups[@]}" 2>/dev/null)
owner() { echo "${ownerOf[$1]:-${ownerOf[${1#/usr}]:-}}"; }
declare -A base
while read -r pkg essential priority; do
  [ "$essential" = yes ] || [ "$priority" = required ] && base[$pkg]=1
done < <(dpkg-query -W -f='${Package} ${Essential} ${Priority}\n')

for item in "${!pathOf[@]}"; do
  [ -n "${resolved[$item]:-}" ] && [ -z "${base[$(owner "${resolved[$item]}")]:-}" ] &&
    fail "the scripts run $item (${pathOf[$item]}), which setup does not declare"
done

# Everything setup declares comes from its packages or what they depend on.
declare -A closure
while read -r pkg; do closure[${pkg%%:*}]=1; done < <(apt-cache depends --recurse --no-recommends \
  --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances "${packages[@]}" \
  2>/dev/null | grep -v '^ ')
for item in "${!declaredPath[@]}"; do
  [ -n "${resolved[$item]:-}" ] || continue
  pkg=$(owner "${resolved[$item]}")
  if [ -z "$pkg" ]; then
    fail "setup declares $item, but no installed package provides it"
  elif [ -z "${closure[$pkg]:-}${base[$pkg]:-}" ]; then
    fail "setup declares $item, which comes from $pkg: not one of its packages nor their dependencies"
  fi
done

((failures == 0)) || exit 1
echo "check-setup: every program and file the scripts use is installed by setup"
