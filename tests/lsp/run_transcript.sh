#!/usr/bin/env bash
# Runs one transcript through the language server and checks its answers with FileCheck.
#
#   run_transcript.sh SERVER FILECHECK TRANSCRIPT [EMULATOR...]
#
# The transcript holds, besides FileCheck's own lines:
#   %% file NAME [cp1251]   the lines up to the next "%%" line make the file NAME of a fresh
#                           folder, each ended by CR LF; in the code page when told so
#   %% end                  ends a file
#   >>> JSON                a message sent, framed with its Content-Length
#   %% raw TEXT             bytes sent as they stand (printf's escapes)
# "ROOT" in a message stands for the folder's file URI; in the answers, the folder's URI and path
# are shown as ROOT, in Wine's spelling too (Z: before the path). The server runs in the folder;
# its exit status ends the answers.
set -euo pipefail

server=$(realpath "$1") filecheck=$2 transcript=$(realpath "$3")
emulator=("${@:4}")
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir "$work/root"
root_uri="file://$work/root"

input="$work/input"
: >"$input"
file="" encoding=""
while IFS= read -r line || [ -n "$line" ]; do
  line=${line%$'\r'}
  if [ -n "$file" ]; then
    if [[ $line == "%%"* ]]; then
      if [ "$encoding" = cp1251 ]; then
        iconv -f UTF-8 -t CP1251 "$work/root/$file.utf8" >"$work/root/$file"
        rm "$work/root/$file.utf8"
      fi
      file=""
    else
      target="$work/root/$file"
      [ "$encoding" = cp1251 ] && target="$work/root/$file.utf8"
      printf '%s\r\n' "$line" >>"$target"
      continue
    fi
  fi
  case $line in
    "%% file "*)
      read -r _ _ file encoding <<<"$line"
      mkdir -p "$(dirname "$work/root/$file")"
      : >"$work/root/$file"
      [ "$encoding" = cp1251 ] && : >"$work/root/$file.utf8"
      ;;
    "%% raw "*) printf '%b' "${line#"%% raw "}" >>"$input" ;;
    ">>> "*)
      message=${line#">>> "}
      message=${message//ROOT/$root_uri}
      length=$(LC_ALL=C; printf '%s' "$message" | wc -c)
      printf 'Content-Length: %d\r\n\r\n%s' "$length" "$message" >>"$input"
      ;;
  esac
done <"$transcript"

status=0
(cd "$work/root" && timeout 120 "${emulator[@]}" "$server" <"$input" >"$work/output") || status=$?
{
  { tr -d '\r' <"$work/output"; echo; } | sed -e 's/Content-Length: [0-9]*$//' -e '/^$/d' |
    sed -e "s|file:///Z:$work/root|ROOT|g" -e "s|$root_uri|ROOT|g" -e "s|$work/root|ROOT|g"
  echo "EXIT $status"
} >"$work/answers"
"$filecheck" --input-file "$work/answers" "$transcript" || { cat "$work/answers"; exit 1; }
