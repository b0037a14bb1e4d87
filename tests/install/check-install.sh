#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses what was installed as a user would: the
# programs, an installed example, the manual pages, the completion and the editor files.
#
#   check-install.sh BUILD_DIR PROGRAM...
set -uo pipefail
build=$(realpath "$1")
shift
programs=("$@")
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
export TOVRIN_SETTINGS=$prefix/scratch/settings.reg
unset TOVRIN_LOG

failures=0
fail() {
  echo "FAIL  $*"
  failures=$((failures + 1))
}
expect_file() {
  [ -f "$prefix/$1" ] || fail "not installed: $1"
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1; then
  cat "$prefix/install.log"
  fail "cmake --install failed"
  exit 1
fi

# Only programs and shared data: no headers or libraries (of a test framework, say).
stray=$(cd "$prefix" && find . -type f ! -path './bin/*' ! -path './share/*' ! -name install.log)
[ -z "$stray" ] || fail "installed outside bin/ and share/: $stray"

for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "not installed: bin/$program"
  page=share/man/man1/$program.1
  if [ ! -f "$prefix/$page" ]; then
    fail "no manual page: $page"
    continue
  fi
  # The page renders without a warning and names its program.
  rendered=$(MANWIDTH=80 MANPAGER=cat man --warnings -l "$prefix/$page" 2>"$prefix/man.err")
  if [ $? -ne 0 ] || [ -s "$prefix/man.err" ]; then
    fail "man -l $page: $(cat "$prefix/man.err")"
  elif ! grep -q "^ *$program - " <<<"$rendered"; then
    fail "$page does not name $program in its NAME section"
  fi
done

version=$("$prefix/bin/tovrin" --version 2>&1) || fail "tovrin --version: $version"

# The installed tovrin builds installed examples, one of them split over used files.
mkdir -p "$prefix/scratch"
cp -r "$prefix/share/doc/tovrin/examples" "$prefix/scratch/"
for example in fan.tvr greenhouse/main.tvr; do
  if ! (cd "$prefix/scratch" && "$prefix/bin/tovrin" build "examples/$example" --log "$prefix/scratch/tovrin.log" >"$prefix/build.out" 2>&1); then
    fail "installed tovrin cannot build the installed examples/$example: $(cat "$prefix/build.out")"
  fi
  [ -s "$prefix/scratch/examples/${example%.tvr}.hex" ] || fail "no hex file for examples/$example"
done
expect_file share/doc/tovrin/README.md

# The completion is a bash script that completes the commands.
completion=share/bash-completion/completions/tovrin
expect_file "$completion"
if [ -f "$prefix/$completion" ]; then
  completed=$(bash -c '
    source "$1" || exit 1
    function=$(complete -p tovrin | sed -n "s/.*-F \([^ ]*\) .*/\1/p")
    [ -n "$function" ] || exit 1
    COMP_WORDS=(tovrin bu); COMP_CWORD=1; COMP_LINE="tovrin bu"; COMP_POINT=${#COMP_LINE}
    "$function" tovrin bu tovrin
    echo "${COMPREPLY[*]}"' _ "$prefix/$completion" 2>&1)
  [ "$completed" = build ] || fail "the completion does not complete 'tovrin bu' to 'build': $completed"
fi

# The manual page documents every command and option that the command line itself defines
# (read from the completion it generates from those definitions).
if [ -f "$prefix/$completion" ] && [ -f "$prefix/share/man/man1/tovrin.1" ]; then
  words=$(grep -o "compgen -W '[^']*'" "$prefix/$completion" | sed "s/compgen -W '//; s/'\$//" | tr ' ' '\n' | sort -u)
  commands=$(grep -o "compgen -W '[^']*'" "$prefix/$completion" | head -n 1 | sed "s/compgen -W '//; s/'\$//" | tr ' ' '\n')
  for word in $(grep -- '^-' <<<"$words") $(grep -v -- '^-' <<<"$commands"); do
    # Written with escaped hyphens in the page's source.
    grep -qF -- "${word//-/\\-}" "$prefix/share/man/man1/tovrin.1" || fail "tovrin(1) does not document $word"
  done
fi

# Editor files where the editors look for them.
for file in share/vim/vimfiles/syntax/tovrin.vim share/vim/vimfiles/ftdetect/tovrin.vim \
            share/gtksourceview-4/language-specs/tovrin.lang share/gtksourceview-5/language-specs/tovrin.lang \
            share/tovrin/editors/vscode/package.json \
            share/tovrin/editors/vscode/syntaxes/tovrin.tmLanguage.json share/mime/packages/tovrin.xml; do
  expect_file "$file"
done
if [[ " ${programs[*]} " == *" tovrin-gui "* ]]; then
  expect_file share/applications/tovrin-gui.desktop
  expect_file share/icons/hicolor/scalable/apps/tovrin.svg
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/tovrin-gui.desktop" || fail "the desktop entry is not valid"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "install: $failures problem(s)"
  exit 1
fi
echo "install: ${#programs[@]} programs, their manual pages, the completion, the editor files and the examples work from $prefix"
