#!/usr/bin/env bash
# The program's entry: help page, message level, front input and exit statuses.
. "$(dirname "$0")/lib/common.sh"

# Help: the purpose line, the syntax page with every resource in the
# program's order, the positional item, status 0.
"$TARNISK" -h >"$work/out" 2>"$work/err" </dev/null
check "-h status" $?
[ ! -s "$work/err" ]
check "-h writes nothing to stderr" $?
head -1 "$work/out" | grep -qx "tarnisk: This program contours surface data"
check "-h purpose line" $?
sed -n 2p "$work/out" | grep -qx "tarnisk syntax (version:5.60.2-LINUX-X11)"
check "-h syntax line" $?
expected="-df -na -h -ba -me -fp -dp -cp -gp -rp -ip -wp -tp -mp -sp -cf -mf -nc -if -of -pf -cu -ho -nh -id -pd -gd -re -pr -va -oa -pl -sc -fm -pp -dr -la -in -cb -fl -ct -cot -cod -com -cogr -coln -cofr -cowd -cocd -cowx -cocm -coco -cof -cola -cocl -de -ti -ic -bg -ge"
got=$(sed -n '/^Keyed options\.\.\.$/,/^Positional options\.\.\.$/p' "$work/out" | grep -o '^ -[a-z]*' | tr -d ' ' | tr '\n' ' ' | sed 's/ $//')
[ "$got" = "$expected" ]
check "-h keyed items in order (got: $got)" $?
[ "$(echo "$got" | wc -w)" -eq 60 ]
check "-h 58 keyed items" $?
tail -1 "$work/out" | grep -qx " file \[file...\]  Input file names"
check "-h positional item last" $?
grep -qx " -cofr hclr,lclr,cclr,wclr,oclr,tclr  Front colors" "$work/out"
check "-h long usage is not cut" $?
grep -qx " -pd region or \[proj\],clat,clon\[,nx,ny\]\[,dx,dy\]" "$work/out"
check "-h usage alone on its line" $?

# The base name of the program names it.
ln -s "$TARNISK" "$work/plotsfc"
"$work/plotsfc" -h | head -2 >"$work/out2"
printf 'plotsfc: This program contours surface data\nplotsfc syntax (version:5.60.2-LINUX-X11)\n' | cmp -s - "$work/out2"
check "-h under another name" $?

# A file name after -h is a positional argument, not a value of help.
"$TARNISK" -h file.sfc </dev/null | head -1 | grep -qx "tarnisk: This program contours surface data"
check "-h file" $?

# With the message level none, help prints nothing and still ends with 0.
out=$("$TARNISK" -h -me none 2>&1 </dev/null)
status=$?
check "-h -me none status" $status
[ -z "$out" ]
check "-h -me none prints nothing (got: $out)" $?

# Front input: the banner, then the end, without asking for a file.
"$TARNISK" -input front >"$work/out" 2>&1 </dev/null
check "-input front status" $?
printf '      SURFACE DATA CONTOURING (Ver 5.60.2-LINUX-X11)\n\n' | cmp -s - "$work/out"
check "-input front prints only the banner" $?

# The banner is of kind mess: a warn level hides it.
out=$("$TARNISK" -input forfront -me warn 2>&1 </dev/null)
check "-input forfront status" $?
[ -z "$out" ]
check "-me warn hides the banner" $?

exit $fail
