#!/bin/sh
# Installs a program folder made here with scripts/install-program into a temporary place
# and checks what arrives: the program files and nothing else, a kept settings file on
# reinstall, and a valid desktop entry that starts the installed program.
#   test_install_program.sh SCRIPT
set -eu
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

dist="$work/dist"
mkdir -p "$dist"
for f in tavolin tavolin-batch test_something bench_thing; do
    printf '#!/bin/sh\necho %s\n' "$f" >"$dist/$f"
    chmod 755 "$dist/$f"
done
for f in ExcelBook.org 'ﾉｰﾄ付きｻﾝﾌﾟﾙ.xls' 'ﾉｰﾄ無しｻﾝﾌﾟﾙ.xls' Tavolin.chm tavolin.png tavolin.svg; do
    echo "$f" >"$dist/$f"
done
echo "left over by a test run" >"$dist/Tavolin.ini"

prefix="$work/opt dir/tavolin"
apps="$work/applications"
group=$(id -gn)
"$script" --prefix "$prefix" --applications "$apps" --group "$group" "$dist" >/dev/null

for f in tavolin tavolin-batch ExcelBook.org 'ﾉｰﾄ付きｻﾝﾌﾟﾙ.xls' 'ﾉｰﾄ無しｻﾝﾌﾟﾙ.xls' Tavolin.chm tavolin.png; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/tavolin" ] || fail "tavolin not executable"
for f in test_something bench_thing Tavolin.ini; do
    [ ! -e "$prefix/$f" ] || fail "$f should not be installed"
done
[ -w "$prefix" ] || fail "program folder not writable: the settings could not be saved"
for left in "$work/opt dir"/tavolin.*; do
    [ ! -e "$left" ] || fail "staging folder left behind: $left"
done

desktop="$apps/tavolin.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
grep -qx "Exec=\"$prefix/tavolin\"" "$desktop" || fail "Exec does not start the installed program"
grep -qx "Path=$prefix" "$desktop" || fail "Path is not the program folder"
grep -q "^Icon=$prefix/tavolin" "$desktop" || fail "Icon is not the installed icon"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"

# Reinstall over a folder whose settings the user has written: they stay.
printf '[File]\nOwner=山田\n' >"$prefix/Tavolin.ini"
echo "new template" >"$dist/ExcelBook.org"
"$script" --prefix "$prefix" --applications "$apps" --group "$group" "$dist" >/dev/null
grep -q 'Owner=山田' "$prefix/Tavolin.ini" || fail "settings lost on reinstall"
grep -q 'new template' "$prefix/ExcelBook.org" || fail "program files not updated"

# A folder without the program is refused and installs nothing.
mkdir "$work/empty"
if "$script" --prefix "$work/other" --applications "$apps" "$work/empty" 2>/dev/null; then
    fail "installing an empty folder succeeded"
fi
[ ! -e "$work/other" ] || fail "an empty install left a folder"
echo "install-program ok"
