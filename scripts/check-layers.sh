#!/bin/sh
# The folders stack: each includes only its own files and the folders below
# it. Also, the processor's memory and the values drawn from it are the
# store's (state/ParamStore): no file declares them as a global of its own;
# and whatever belongs to one processor lives in its object (link/Link,
# state/Processor): link/ and state/ hold no namespace-scope mutable variable
# but the few on the allow-list below.
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
    service) echo 8 ;;
    *) echo 0 ;;
    esac
}

status=0
for folder in link state modefile sim controls pages remote shell tools service; do
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
# Namespace-scope variables that are the process's, not a processor's.
allowed='
link/DebugLog.cpp g_logMutex          # the debug log is one per process
link/DebugLog.cpp g_logSink
link/LinkClock.cpp g_clockMutex       # the clock tests install
link/LinkClock.cpp g_installedClock
link/LinkClock.cpp g_clockInstalled
link/HidapiBackend.cpp g_installedBackend  # the HID back-end tests install
link/HidNotices.cpp g_listenerMutex   # the machine'"'"'s USB arrival notices
link/HidNotices.cpp g_listener
link/UsbLink.cpp g_monitorMutex       # the one udev monitor of the machine
link/UsbLink.cpp g_udevMonitor
link/Link.cpp t_boundLink             # which processor a thread serves
link/LinkOutbox.cpp t_confirming      # the tickets a confirmed send collects
link/LinkOutbox.cpp t_receivingFor    # the receive a loop thread runs now
link/LinkOutbox.cpp t_writerReleased
state/ImageEdits.cpp t_scopeDepth     # the edit a thread is gathering
state/ImageEdits.cpp t_pending
state/ImageEdits.cpp t_replaying
state/JobUi.cpp g_headlessUi          # the stateless front end of a headless run
state/JobUi.cpp g_headlessSettings
state/StatusPoll.cpp g_bStatusPoll    # the window'"'"'s status poll switch
state/ParamImage.cpp g_EqClipboardSet # the editor'"'"'s EQ clipboard
state/OutputChannels.cpp g_LinkFlags  # the editor'"'"'s channel links
'
globals=$(grep -nE '^(static |thread_local |extern |inline )*[A-Za-z_][A-Za-z0-9_:<>, *&]*[ *&]+[A-Za-z_][A-Za-z0-9_]*(\[[^]]*\])*( *=.*| *\{.*)?;\s*(//.*)?$' \
    link/*.cpp state/*.cpp |
    grep -vE ':[0-9]+:(return|using|typedef|namespace|class|struct|enum|friend|template|case|delete|goto|extern)\b' |
    grep -vE ':[0-9]+:(static |constinit )*(constexpr|const) ' || true)
unlisted=$(echo "$globals" | while IFS= read -r line; do
    [ -n "$line" ] || continue
    file=${line%%:*}
    declaration=$(echo "$line" | sed -E 's/^[^:]*:[0-9]+://; s/ *(=|\{|\[|;).*$//')
    name=${declaration##*[ *&]}
    echo "$allowed" | grep -qE "^$file $name( |$)" || echo "$line"
done)
if [ -n "$unlisted" ]; then
    echo "$unlisted" | sed "s/^/namespace-scope variable outside the processor object: /"
    echo "a processor's state belongs in its object (link/Link, state/Processor), or on the allow-list with a reason" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "layers: link < state < modefile, sim < controls < pages, remote < shell: no include runs upward, the store owns the processor's memory, a processor's state lives in its object"
exit "$status"
