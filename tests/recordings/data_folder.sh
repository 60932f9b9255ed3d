#!/usr/bin/env bash
# Makes the data folder a golden recording was played with: the sample data
# with the edits its outcome needs, listed in NAME.edits beside the recording,
# one a line: "FILE LINE TEXT" puts TEXT in place of that line of the file,
# "FILE remove" leaves the file out.
#
#   tests/recordings/data_folder.sh EDITS OUT
set -euo pipefail
assets=$(cd "$(dirname "$0")/../../assets" && pwd)
edits=${1:?usage: data_folder.sh EDITS OUT}
out=${2:?usage: data_folder.sh EDITS OUT}

rm -rf "$out"
mkdir -p "$out"
cp "$assets"/*.txt "$out"/
while read -r file line text; do
    if [ ! -f "$out/$file" ]; then
        echo "$edits: no data file $file" >&2
        exit 1
    elif [ "$line" = remove ]; then
        rm "$out/$file"
    elif [ "$line" -ge 1 ] 2>/dev/null && [ "$line" -le "$(sed -n '$=' "$out/$file")" ]; then
        # The text as it stands, whatever sed would read into it.
        text=${text//\\/\\\\}
        text=${text//\//\\/}
        text=${text//&/\\&}
        sed -i "${line}s/.*/$text/" "$out/$file"
    else
        echo "$edits: $file has no line $line" >&2
        exit 1
    fi
done <"$edits"
