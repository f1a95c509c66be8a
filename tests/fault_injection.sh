#!/usr/bin/env bash
# Each system call of one whole run made to fail in turn (EIO, then ENOSPC),
# and the program killed at each in turn, by strace's tampering; then the
# named fallback with ending signals delivered while the new file is written,
# the causes of a failed source, the calendar or its folder not confirmed on
# disk, and the rewrite in place of a folder that refuses new files. After
# every run: calendario.txt is the earlier calendar or the whole new one,
# never anything else; exit status 0 only with the new one in place and the
# success lines shown; a failure is told on standard error in Italian and
# never leaves the new calendar in place; a status of 128 or more only where
# the run was killed; no other file is left in the folder (after a SIGKILL,
# only at the one call between naming the new file and renaming it). Each
# tampered run must show in its trace that the tampering happened, and
# strace's own errors fail the test.
# Usage: fault_injection.sh PROGRAM SAMPLE. Exit 77: strace missing or not allowed here.
set -uo pipefail
program=$(realpath "$1") sample=$(realpath "$2")
command -v strace >/dev/null || { echo "strace not installed (tools/install-missing test)"; exit 77; }
strace -o /dev/null true 2>/dev/null || { echo "strace cannot trace here (ptrace refused)"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
short_earlier=$'Delfini - Lupi 2-1\n\n'
long_earlier=$(for i in $(seq 500); do printf 'Delfini - Lupi 2-1 giornata %03d\n' "$i"; done | head -c 10000; echo .)
long_earlier=${long_earlier%.}
earlier=$short_earlier
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Makes a fresh work folder: the sample, and the earlier calendar.
fresh() {
  rm -rf "$dir/work" && mkdir "$dir/work" && cp "$sample" "$dir/work/originale.txt"
  printf '%s' "$earlier" > "$dir/work/calendario.txt"
}

# One run in the folder, strace's options first (its trace in $dir/trace):
# status, out, err and the folder's other files. WRAP may name a command the
# program runs under.
run_here() {
  (cd "$dir/work" && printf 't\n%s\nn\n' "${NAME:-Lupi Rossi}" |
    LC_ALL=C timeout 30 strace -f -qq -o "$dir/trace" "$@" ${WRAP:-} "$program" > "$dir/out" 2> "$dir/err") 2>/dev/null  # no "Killed" notices
  status=$?
  files=$(cd "$dir/work" && ls -A | grep -v -x -e originale.txt -e calendario.txt | tr '\n' ' ')
}
run() { fresh && run_here "$@"; }

# Checks one run. kind: plain (no tampering), injected (an error, a delay or a
# value: the trace must show it), killed (the trace must show the kill; a
# status of 128 or more is then allowed), starting (an error injected into the
# loader's or the C library's start, before the program's first word, where a
# crash is theirs: a status of 128 or more is allowed too). left_ok: a file may be left (SIGKILL
# between link and rename).
check() {
  local what=$1 kind=$2 left_ok=${3:-no} calendar
  calendar=$(cat "$dir/work/calendario.txt"; echo .)
  if grep '^strace: ' "$dir/err" | grep -q -v 'Requested path'; then  # -P says where a path leads
    fail "$what: $(grep '^strace: ' "$dir/err" | head -1)"
  fi
  case $kind in
    injected | starting) grep -q -e '(INJECTED)' -e '(DELAYED)' "$dir/trace" || fail "$what: the tampering never happened" ;;
    killed) grep -q 'killed by SIGKILL' "$dir/trace" || fail "$what: the kill never happened" ;;
  esac
  if [ "$calendar" != "$new." ] && [ "$calendar" != "$earlier." ]; then
    fail "$what: calendario.txt is neither the earlier nor the new calendar"
  fi
  if [ $status -eq 0 ] && { [ "$calendar" != "$new." ] || ! grep -q 'Complimenti' "$dir/out"; }; then
    fail "$what: exit status 0 without the new calendar and the success lines"
  fi
  if [ $status -ge 128 ] && [ "$kind" != killed ] && [ "$kind" != starting ]; then
    fail "$what: ended by a signal (status $status)"
  fi
  if [ $status -ne 0 ] && [ $status -lt 128 ]; then
    [ -s "$dir/err" ] || fail "$what: exit status $status and nothing on standard error"
    # The console may fail after the pass; the pass itself may not fail and replace the calendar.
    if [ "$calendar" = "$new." ] && ! grep -q 'standard' "$dir/err"; then
      fail "$what: exit status $status with the new calendar in place"
    fi
  fi
  if grep -a -e 'Impossibile' "$dir/err" | grep -q -e 'Input/output error' -e 'No space left'; then
    fail "$what: a cause in the C library's English: $(cat "$dir/err")"
  fi
  if [ -n "$files" ] && [ "$left_ok" != yes ]; then
    fail "$what: left $files"
  fi
}

# After a run that was killed and left a file: one clean run in the same
# folder, which must leave nothing.
clean_after() {
  [ -n "$files" ] || return 0
  run_here
  [ -z "$files" ] || fail "$1: one clean run after it left $files"
}

# The reference run: the new calendar, and every system call in order.
run
new=$(cat "$dir/work/calendario.txt"; echo .)
new=${new%.}
[ $status -eq 0 ] && [ "$new" != "$earlier" ] || { echo "FAILED: the untampered run did not make the calendar"; exit 1; }
cp "$dir/trace" "$dir/reference"
mapfile -t calls < <(sed -n 's/^[0-9]* *\([a-z_0-9]*\)(.*/\1/p' "$dir/reference")  # strace pads short pids
echo "${#calls[@]} system calls in one run"
[ ${#calls[@]} -gt 20 ] || { echo "FAILED: the run's system calls were not read from strace's trace"; exit 1; }
grep -q 'O_TMPFILE.* = [0-9]' "$dir/reference" || echo "Note: no file without a name here: the named fallback was tested"

# The probe of the earlier calendar writes nothing: watchers see no write.
! grep -q -E 'open(at)?\(.*"calendario.txt", O_(WRONLY|RDWR).* = [0-9]+$' "$dir/reference" ||
  fail "the earlier calendario.txt was opened for writing"

# The source is opened once a pass: the hint searches what the pass kept.
opened=$(grep -c 'open.*"originale.txt"' "$dir/reference")
[ "$opened" -eq 1 ] || fail "originale.txt opened $opened times in one pass"

# Each cause in Italian: opening the source failed with a code, the words told.
declare -A words=(
  [EIO]='errore di lettura o scrittura sul disco'
  [EMFILE]='troppi file aperti'
  [ENOMEM]='memoria insufficiente'
  [EXDEV]='errore di sistema 18 (Invalid cross-device link)'
)
for code in "${!words[@]}"; do
  run -P originale.txt -e trace=openat -e inject=openat:error="$code"
  check "originale.txt failing with $code" injected
  grep -a -q -F "Impossibile leggere il file originale.txt: ${words[$code]}." "$dir/err" && [ $status -eq 1 ] ||
    fail "originale.txt failing with $code: not told as ${words[$code]}: $(cat "$dir/err")"
done

# The calls before the program's first word on standard output are the
# loader's and the C library's start.
first_word=$(grep -n -E '^[0-9]+ +write\(1,' "$dir/reference" | head -1 | cut -d: -f1)
declare -A seen=()
index=0
for call in "${calls[@]}"; do
  index=$((index + 1))
  case $call in exit_group | exit | execve) continue ;; esac  # the program's own start and end
  seen[$call]=$((${seen[$call]:-0} + 1))
  n=${seen[$call]}
  kind=injected
  [ "$index" -lt "$first_word" ] && kind=starting
  # brk never fails with an error code (it returns the break as it is): an
  # injected one only confuses the C library's allocator.
  [ "$call" = brk ] && { seen[$call]=$n; run -e trace=brk -e inject="brk:signal=KILL:when=$n"; check "killed at brk #$n" killed; continue; }
  for error in EIO ENOSPC; do
    run -e trace="$call" -e inject="$call:error=$error:when=$n"
    check "$call #$n failing with $error" $kind
  done
  run -e trace="$call" -e inject="$call:signal=KILL:when=$n"
  left_ok=no
  [ "$call" = rename ] && left_ok=yes  # named, not yet renamed
  check "killed at $call #$n" killed $left_ok
  clean_after "killed at $call #$n"
done

# The named path (no file without a name: /proc/self/fd looked for in vain),
# from its new file on: each call failing and killed in turn, then one
# clean run. A kill while the named file exists may leave it; the next run
# removes it, its run being gone.
named_tamper="-e inject=access:error=ENOENT"
# shellcheck disable=SC2086 # the tamper is two options
run $named_tamper
cp "$dir/trace" "$dir/named"
first_named=$(grep -n 'calendario\.txt\.[0-9]*-0.*O_CREAT' "$dir/named" | head -1 | cut -d: -f1)
[ -n "$first_named" ] && [ $status -eq 0 ] || fail "the named path made no named file: $(cat "$dir/err")"
mapfile -t named_calls < <(sed -n 's/^[0-9]* *\([a-z_0-9]*\)(.*/\1/p' "$dir/named")
declare -A named_seen=()
index=0
for call in "${named_calls[@]}"; do
  index=$((index + 1))
  case $call in exit_group | exit | execve | access | brk) continue ;; esac
  named_seen[$call]=$((${named_seen[$call]:-0} + 1))
  n=${named_seen[$call]}
  [ "$index" -ge "${first_named:-1000000}" ] || continue
  # Each action set by a signal's minding is alike: a few of them stand for all.
  if [ "$call" = rt_sigaction ] && [ $((n % 16)) -ne 1 ]; then continue; fi
  # shellcheck disable=SC2086 # the tamper is two options
  run $named_tamper -e trace="$call,access" -e inject="$call:error=EIO:when=$n"
  check "named: $call #$n failing with EIO" injected
  # shellcheck disable=SC2086
  run $named_tamper -e trace="$call,access" -e inject="$call:signal=KILL:when=$n"
  check "named: killed at $call #$n" killed yes
  clean_after "named: killed at $call #$n"
done

# A write that writes nothing is an error, never a loop: the console's first
# write, and the new calendar's.
tmpfd=$(sed -n 's/.*O_TMPFILE.* = \([0-9]*\)$/\1/p' "$dir/reference" | head -1)
if [ -n "$tmpfd" ]; then
  n=$(grep -E '^[0-9]+ +write\(' "$dir/reference" | grep -n "write($tmpfd," | head -1 | cut -d: -f1)
  for when in 1 "$n"; do
    run -e trace=write -e inject="write:retval=0:when=$when"
    check "write #$when writing nothing" injected
    [ $status -eq 1 ] || fail "write #$when writing nothing: status $status, not the end with a failure"
  done
fi

# Once the new calendar has its name, a failed sync of the folder is a notice
# after the success lines, not a failure.
n=$(grep -E '^[0-9]+ +fsync\(' "$dir/reference" | wc -l)
run -e trace=fsync -e inject="fsync:error=EIO:when=$n"
check "the folder's sync failing" injected
[ $status -eq 0 ] && grep -q $'calendario.txt \xE8 pronto, ma il sistema non ha confermato' "$dir/err" ||
  fail "the folder's sync failing: not the new calendar with the notice"

# The named fallback, where files without a name cannot be made (a file
# system without them, a missing /proc): the pass still makes its calendar.
tmpfile_call=$(grep -n 'O_TMPFILE' "$dir/reference" | head -1 | cut -d: -f1)
if [ -n "$tmpfile_call" ]; then
  n=$(head -n "$tmpfile_call" "$dir/reference" | grep -c ' openat(')
  for tamper in "-e trace=openat -e inject=openat:error=EOPNOTSUPP:when=$n" \
                "-P /proc/self/fd -e trace=access -e inject=access:error=ENOENT"; do
    # shellcheck disable=SC2086 # each tamper is several options
    run $tamper
    check "$tamper" injected
    [ $status -eq 0 ] || fail "$tamper: the fallback did not make the calendar"
  done
fi

# The pid of the program itself, not strace's: by its name and folder.
program_pid() {
  local candidate comm
  for candidate in /proc/[0-9]*; do
    comm= && read -r comm < "$candidate/comm" 2>/dev/null
    [ "$comm" = "${program##*/}" ] && [ "$(readlink "$candidate/cwd")" = "$dir/work" ] && echo "${candidate#/proc/}"
  done
}

# Each of a few ending signals sent while the named fallback's new file is
# being synced (held 5 s there): the file goes, the earlier calendar stays;
# SIGXFSZ is ignored while a calendar is written, so that pass finishes.
if [ -n "$tmpfile_call" ]; then
  for signal in QUIT PIPE ALRM USR1 USR2 XFSZ VTALRM PROF; do
    (run -e inject="openat:error=EOPNOTSUPP:when=$n" -e inject=fsync:delay_enter=5000000:when=1 \
         -e trace=openat,fsync; echo "$status" > "$dir/status") &
    for _ in $(seq 100); do  # until the new file is there, ten seconds at most
      [ -n "$(ls -A "$dir/work" 2>/dev/null | grep '^\.calendario\.txt\.')" ] && break
      sleep 0.1
    done
    pid=$(program_pid)
    held=$(cd "$dir/work" && ls -A | grep '^\.calendario\.txt\.')
    [ -n "$pid" ] && kill -s "$signal" "$pid"
    wait
    status=$(cat "$dir/status")
    files=$(cd "$dir/work" && ls -A | grep -v -x -e originale.txt -e calendario.txt | tr '\n' ' ')
    [ -n "$pid" ] && [ -n "$held" ] || fail "SIG$signal: no run held with its named new file"
    if [ $signal = XFSZ ]; then
      check "SIG$signal during the named fallback's commit" injected
      [ $status -eq 0 ] && [ "$(cat "$dir/work/calendario.txt"; echo .)" = "$new." ] ||
        fail "SIGXFSZ: the pass did not finish with the new calendar"
    else
      status=$((status >= 128 ? 0 : status))  # ended by the signal: what counts is what it left
      [ -z "$files" ] || fail "SIG$signal during the named fallback's commit: left $files"
      [ "$(cat "$dir/work/calendario.txt")" = "$(printf '%s' "$earlier")" ] || fail "SIG$signal: the calendar was replaced"
    fi
  done
fi

# A folder that refuses new files, the calendar the user's own: it is
# rewritten in place, locked, once the room of its new tail is reserved. The
# reservation failing (a full disk), or refused and the C library's
# emulation (it writes zeros past the end, reading each block) failing,
# leaves it as it was; refused alone, the emulation makes the room. Earlier
# calendars shorter and longer than the new one. Another user is needed:
# only where the tests run as root.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  chmod 755 "$dir"
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
  closed() {  # a fresh folder that refuses new files, its calendar the user's
    fresh && chown 65534:65534 "$dir/work/calendario.txt" && chmod 555 "$dir/work"
  }
  in_place() { closed && WRAP=$as_user run_here "$@"; chmod 755 "$dir/work"; }
  for earlier in "$short_earlier" "$long_earlier"; do
    size=${#earlier}
    in_place -e trace=fallocate -e inject=fallocate:error=EOPNOTSUPP
    if [ "$size" -lt "${#new}" ]; then
      check "in place from $size bytes, fallocate refused" injected
    else
      check "in place from $size bytes, fallocate refused" plain  # shorter: nothing to reserve
    fi
    [ $status -eq 0 ] || fail "in place from $size bytes, fallocate refused: no new calendar: $(cat "$dir/err")"
    [ "$size" -lt "${#new}" ] || continue
    for tamper in fallocate:error=ENOSPC:when=1 "fallocate:error=EOPNOTSUPP -e inject=pwrite64:error=ENOSPC:when=1"; do
      # shellcheck disable=SC2086 # the second tamper is two options
      in_place -e trace=fallocate,pwrite64 -e inject=$tamper
      check "in place from $size bytes, $tamper" injected
      grep -q $'il disco \xE8 pieno' "$dir/err" && [ "$(cat "$dir/work/calendario.txt")" = "$(printf '%s' "$earlier")" ] ||
        fail "in place, $tamper: not the earlier calendar and a full disk told"
    done
    # The calendar's sync failing once its content is whole: a notice, not a failure.
    in_place -P calendario.txt -e trace=fsync -e inject=fsync:error=EIO
    check "in place from $size bytes, its sync failing" injected
    [ $status -eq 0 ] && grep -q 'non ha confermato' "$dir/err" || fail "in place, its sync failing: no notice"
    # A write that writes nothing ends the rewrite, and says the file may be cut.
    in_place -P calendario.txt -e trace=write -e inject=write:retval=0
    grep -q '(INJECTED)' "$dir/trace" || fail "in place, write writing nothing: the tampering never happened"
    [ $status -eq 1 ] && grep -q 'potrebbe essere rimasto incompleto' "$dir/err" ||
      fail "in place, write writing nothing: status $status, $(cat "$dir/err")"
  done
  # Two runs at once, the first held after its first write into the calendar:
  # the second waits for it, then writes its own calendar whole. And SIGTERM in
  # that moment: blocked, the rewrite finishes first.
  earlier=$short_earlier
  for signal in none TERM; do
    closed
    rm -f "$dir/trace"
    (WRAP=$as_user run_here -P calendario.txt -e trace=write -e inject=write:delay_exit=3000000:when=1
     echo "$status" > "$dir/status") &
    for _ in $(seq 100); do
      grep -q 'write(' "$dir/trace" 2>/dev/null && break
      sleep 0.1
    done
    if [ $signal = TERM ]; then
      pid=$(program_pid)
      [ -n "$pid" ] && kill -s TERM "$pid" || fail "SIGTERM in place: no run held"
    else
      (cd "$dir/work" && printf 't\nDelfini\nn\n' | LC_ALL=C timeout 30 $as_user "$program" > "$dir/out2" 2> "$dir/err2")
      [ $? -eq 0 ] || fail "two runs in place: the second failed: $(cat "$dir/err2")"
    fi
    wait
    status=$(cat "$dir/status")
    chmod 755 "$dir/work"
    if [ $signal = TERM ]; then
      [ "$status" -eq 143 ] && [ "$(cat "$dir/work/calendario.txt"; echo .)" = "$new." ] ||
        fail "SIGTERM in place: status $status, the new calendar not whole"
    else
      [ "$status" -eq 0 ] || fail "two runs in place: the first failed: $(cat "$dir/err")"
      second=$(cd "$dir" && mkdir -p alone && cp "$sample" alone/originale.txt && cd alone &&
               printf 't\nDelfini\nn\n' | LC_ALL=C "$program" > /dev/null 2>&1; cat calendario.txt; echo .)
      [ "$(cat "$dir/work/calendario.txt"; echo .)" = "$second" ] || fail "two runs in place: not the second's calendar whole"
    fi
  done
  # The calendar locked by another holder for 15 s: after about 10 s the
  # words of another run, the calendar as it was.
  closed
  (cd "$dir/work" && exec flock -x calendario.txt sleep 15) &
  holder=$!
  sleep 0.5
  started=$(date +%s)
  WRAP=$as_user run_here
  waited=$(($(date +%s) - started))
  chmod 755 "$dir/work"
  wait "$holder"
  grep -q -F "Impossibile scrivere il file calendario.txt: lo sta scrivendo un'altra esecuzione di quadrivo; riprova fra poco." "$dir/err" &&
    [ $status -eq 1 ] && [ $waited -ge 9 ] && [ $waited -le 14 ] &&
    [ "$(cat "$dir/work/calendario.txt")" = "$(printf '%s' "$earlier")" ] ||
    fail "in place, locked for 15 s: status $status after $waited s, $(cat "$dir/err")"
else
  echo "Note: the in-place rewrite's faults need another user: run as root to test them"
fi

[ $failures -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "every failure and kill left the earlier or the new calendar, told the truth and left nothing"
