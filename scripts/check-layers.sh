#!/bin/sh
# The folders stack: each includes only its own files and the folders below
# it. Also, the processor's memory and the values drawn from it are the
# store's (state/ParamStore): no file declares them as a global of its own.
# Prints what breaks either rule and exits 1 when anything does.
set -eu
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
    link) echo 1 ;;
    state) echo 2 ;;
    modefile | sim) echo 3 ;;
    controls) echo 4 ;;
    pages | remote) echo 5 ;;
    shell) echo 6 ;;
    tools | soak | bench | fuzz) echo 7 ;;
    *) echo 0 ;;
    esac
}

status=0
for folder in link state modefile sim controls pages remote shell; do
    own=$(rank "$folder")
    for target in $(grep -rhoE '^#include "[a-z]+/' "$folder" --include='*.h' --include='*.cpp' |
        sed -E 's/^#include "([a-z]+)\/$/\1/' | sort -u); do
        [ "$target" = "$folder" ] && continue
        theirs=$(rank "$target")
        [ "$theirs" -eq 0 ] && continue
        if [ "$theirs" -ge "$own" ]; then
            grep -rnE "^#include \"$target/" "$folder" --include='*.h' --include='*.cpp' |
                sed "s/^/upward include: /"
            status=1
        fi
    done
done

memory='g_(ParamImage|PanelImage|Identity|StatusBlock|CurrentMode|RemoteKeyBlock|MachineSettings[A-Za-z]*|bConnected|bNetMode|bJobIdle|bQueuedSend|bCoalesce|bParamsChanged|bReadThreadEnd|bAwaitReply|DspIntVar|DspFloatVar|OutputIntVar|OutputFloatVar|MusicPitch|SurroundLayout|Compressor|WholeChannelDelay|AutoLevel|PanelLevel|ShiftFrequency[AB])\b'
if grep -rnE "^\s*extern [^(]*$memory" --include='*.h' --include='*.cpp' \
    link state modefile sim controls pages remote shell tools soak; then
    echo "the processor's memory is declared as a global outside the store" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "layers: link < state < modefile, sim < controls < pages, remote < shell: no include runs upward, the store owns the processor's memory"
exit "$status"
