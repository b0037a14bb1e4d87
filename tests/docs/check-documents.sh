#!/usr/bin/env bash
# Builds every example and every Tovrin code block of the documents, so that what they show
# cannot drift from what the compiler does.
#
#   check-documents.sh TOVRIN ROOT
#
# ROOT holds examples/, docs/ and README.md. Examples: each examples/*.tvr and each
# examples/*/main.tvr (the other files of a subfolder are the ones it uses). A first line
# "// build: FLAGS" gives the flags the program must be built with.
#
# Code blocks in docs/**/*.md and README.md, by the fence's info string:
#   ```tovrin              a complete program, built as main.tvr in a fresh folder; must succeed
#   ```tovrin fails        must fail with exit status 1; its first line "// error: TEXT" names
#                          a text the error log (or the error output) must contain
#   ```tovrin file=NAME    a file the next complete block of the same document uses; written
#                          into that block's folder (NAME may hold subfolders) before it is built
# Any other info string that starts with "tovrin" is an error, so a misspelt kind is never
# skipped silently. A failing block is reported as FILE:LINE.
set -uo pipefail

tovrin=$(realpath "$1")
root=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A settings file of our own (never written): stored settings must not change what builds.
export TOVRIN_SETTINGS=$work/settings.reg
unset TOVRIN_LOG

passed=0
failed=0
fail() {
  echo "FAIL  $1: $2"
  [ -n "${3:-}" ] && sed 's/^/      /' "$3" | head -n 20
  failed=$((failed + 1))
}

# The flags of a "// build: FLAGS" first line, one per line.
build_flags() {
  sed -n '1s#^[[:space:]]*//[[:space:]]*build:##p' "$1" | tr -s ' \t' '\n' | sed '/^$/d'
}

# Builds SOURCE (relative to the current folder) with its own flags; the output, the error
# output and the log land beside it as build.out. Prints the exit status.
build() {
  local source=$1 folder
  folder=$(dirname "$source")
  local flags=()
  mapfile -t flags < <(build_flags "$source")
  timeout 60 "$tovrin" build "$source" "${flags[@]}" --log "$folder/tovrin.log" >"$folder/build.out" 2>&1
  local status=$?
  [ -f "$folder/tovrin.log" ] && cat "$folder/tovrin.log" >>"$folder/build.out"
  echo "$status"
}

# --- examples
examples=0
cp -r "$root/examples" "$work/examples"
cd "$work"
for source in examples/*.tvr examples/*/main.tvr; do
  [ -f "$source" ] || continue
  examples=$((examples + 1))
  status=$(build "$source")
  if [ "$status" = 0 ]; then
    passed=$((passed + 1))
  else
    fail "$source" "does not build (exit $status)" "$(dirname "$source")/build.out"
  fi
done
[ "$examples" -gt 0 ] || fail "$root/examples" "no example found"

# --- code blocks
# Splits a document into blocks: one manifest line per block ("N KIND LINE ARG") and the
# block's text in N.tvr. Fences of other languages are skipped whole; an indented fence (in a
# list) loses its indentation.
split_blocks() {
  awk -v out="$2" '
    !open && match($0, /^[ \t]*(```+|~~~+)/) {
      fence = $0; sub(/^[ \t]*/, "", fence)
      pad = length($0) - length(fence)
      marker = substr(fence, 1, 1)
      info = fence; sub(/^(`+|~+)[ \t]*/, "", info); sub(/[ \t]+$/, "", info)
      open = 1; ours = 0; start = NR
      if (info ~ /^tovrin/) {
        ours = 1; n++
        if (info ~ /^tovrin([ \t]|$)/) {
          kind = info; sub(/^tovrin[ \t]*/, "", kind)
          if (kind == "") kind = "program"
        } else {
          kind = "?" info
        }
        print n, NR, kind > (out "/manifest")
        body = out "/" n ".tvr"; printf "" > body
      }
      next
    }
    open {
      line = $0; stripped = line; sub(/^[ \t]*/, "", stripped)
      if (substr(stripped, 1, 1) == marker && stripped ~ /^(```+|~~~+)[ \t]*$/) {
        if (ours) close(body)
        open = 0; next
      }
      if (ours) {
        for (i = 0; i < pad && substr(line, 1, 1) ~ /[ \t]/; i++) line = substr(line, 2)
        print line > body
      }
    }
    END { if (open) print "unclosed", start > (out "/manifest") }
  ' "$1"
}

documents=()
[ -f "$root/README.md" ] && documents+=("$root/README.md")
if [ -d "$root/docs" ]; then
  while IFS= read -r doc; do documents+=("$doc"); done < <(find "$root/docs" -name '*.md' | sort)
fi

for doc in "${documents[@]}"; do
  name=${doc#"$root"/}
  blocks=$work/blocks/$name
  mkdir -p "$blocks"
  : >"$blocks/manifest"
  split_blocks "$doc" "$blocks"
  pending=()        # "LINE NAME" of file= blocks waiting for their program
  while read -r index line kind; do
    if [ "$index" = unclosed ]; then
      fail "$name" "a code block is never closed"
      continue
    fi
    text=$blocks/$index.tvr
    where="$name:$line"
    case $kind in
      program|fails)
        folder=$work/build/$name-$line
        mkdir -p "$folder"
        for entry in "${pending[@]}"; do
          used=${entry#* }
          mkdir -p "$(dirname "$folder/$used")"
          cp "$blocks/${entry%% *}.tvr" "$folder/$used"
        done
        pending=()
        cp "$text" "$folder/main.tvr"
        status=$(cd "$folder/.." && build "$(basename "$folder")/main.tvr")
        if [ "$kind" = program ]; then
          if [ "$status" = 0 ]; then passed=$((passed + 1)); else fail "$where" "does not build (exit $status)" "$folder/build.out"; fi
        else
          expected=$(sed -n '1s#^[[:space:]]*//[[:space:]]*error:[[:space:]]*##p' "$text")
          if [ -z "$expected" ]; then
            fail "$where" "a failing block must start with '// error: TEXT'"
          elif [ "$status" != 1 ]; then
            fail "$where" "expected to fail with exit 1, got exit $status" "$folder/build.out"
          elif ! grep -qF -- "$expected" "$folder/build.out"; then
            fail "$where" "the error log does not say: $expected" "$folder/build.out"
          else
            passed=$((passed + 1))
          fi
        fi
        ;;
      file=*)
        used=${kind#file=}
        if [ -z "$used" ] || [[ $used == /* || $used == *..* ]]; then
          fail "$where" "file= needs a relative name inside the program's folder"
        else
          # Remember which block holds it: the index is the block's text file.
          pending+=("$index $used")
        fi
        ;;
      *)
        fail "$where" "unknown kind of tovrin block: '${kind#\?}' (use tovrin, tovrin fails or tovrin file=NAME)"
        ;;
    esac
  done <"$blocks/manifest"
  for entry in "${pending[@]}"; do
    fail "$name" "a file= block (${entry#* }) has no complete program after it"
  done
done

echo "documents: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
