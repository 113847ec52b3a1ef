#!/usr/bin/env bash
# Defaults files read by the real program: the working directory's zeq.cfg,
# the zeqdefault variable, the -df and -na options and '+' tags of the path.
. "$(dirname "$0")/lib/common.sh"
unset zeqdefault

purpose="tarnisk: This program contours surface data"
banner="      SURFACE DATA CONTOURING (Ver 5.60.2-LINUX-X11)"

# A bare run in a directory whose zeq.cfg turns help on prints the help page.
mkdir -p "$work/here"
printf '# site defaults\ntarnisk.help on\n' >"$work/here/zeq.cfg"
(cd "$work/here" && "$TARNISK" >"$work/out" 2>"$work/err" </dev/null)
check "bare run status" $?
head -1 "$work/out" | grep -qx "$purpose"
check "bare run prints the help page" $?
grep -qx "Keyed options\.\.\." "$work/out"
check "bare run prints the syntax page" $?
[ ! -s "$work/err" ]
check "bare run writes nothing to stderr" $?

# zeq.cfg is read and .zeqdef beside it is not.
mkdir -p "$work/both"
printf '*.message warn\n' >"$work/both/zeq.cfg"
printf 'tarnisk.help on\n' >"$work/both/.zeqdef"
out=$(cd "$work/both" && "$TARNISK" -input front 2>&1 </dev/null)
check "zeq.cfg before .zeqdef status" $?
[ -z "$out" ]
check "only zeq.cfg is read (got: $out)" $?

# zeqdefault names the directory; -df replaces it.
mkdir -p "$work/site" "$work/quiet" "$work/elsewhere"
printf '*.help on\n' >"$work/site/Zeq.res"
printf '*.message warn\n' >"$work/quiet/.zeqdef"
(cd "$work/elsewhere" && zeqdefault="$work/site" "$TARNISK" </dev/null | head -1 | grep -qx "$purpose")
check "zeqdefault directory" $?
out=$(cd "$work/elsewhere" && zeqdefault="$work/site" "$TARNISK" -df "$work/quiet" -input front 2>&1 </dev/null)
[ -z "$out" ]
check "-df replaces zeqdefault (got: $out)" $?

# -na scopes the lines by title.
printf 'plot2.help on\n' >"$work/titled.def"
(cd "$work/elsewhere" && "$TARNISK" -df "$work/titled.def" -na plot2 </dev/null | head -1 | grep -qx "$purpose")
check "-na plot2 selects plot2 lines" $?
out=$(cd "$work/elsewhere" && "$TARNISK" -df "$work/titled.def" -input front 2>&1 </dev/null)
[ "$out" = "$(printf '%s\n' "$banner")" ]
check "without -na plot2 lines are ignored (got: $out)" $?

# A '+' item of the path defines a tag for the IF lines.
printf 'IF night\n*.help on\nELSE\n*.message warn\nEND\n' >"$work/tagged.def"
(cd "$work/elsewhere" && "$TARNISK" -df "+night:$work/tagged.def" </dev/null | head -1 | grep -qx "$purpose")
check "+night selects the IF branch" $?
out=$(cd "$work/elsewhere" && "$TARNISK" -df "$work/tagged.def" -input front 2>&1 </dev/null)
[ -z "$out" ]
check "without the tag the ELSE branch applies (got: $out)" $?

# An over-long line is cut with a warning; its tail is not read as a line.
long="tarnisk.title $(printf '%0235d' 0)tarnisk.help on"
printf '%s\n' "$long" >"$work/long.def"
out=$(cd "$work/elsewhere" && "$TARNISK" -df "$work/long.def" -input front 2>"$work/err" </dev/null)
check "over-long line status" $?
[ "$out" = "$(printf '%s\n' "$banner")" ]
check "the tail of an over-long line is not read (got: $out)" $?
grep -q "DEF_get: .*long.def: line longer than 249 characters" "$work/err"
check "over-long line warns" $?

exit $fail
