// A daemon's MQTT bridge in a process of its own, for the last-will test to
// kill: one processor, the broker on 127.0.0.1 at the port given.
#include "../FakeVenue.h"

#include "service/mqtt/MqttBridge.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s BROKER-PORT\n", argv[0]);
        return 2;
    }
    FakeVenue venue;
    venue.Add(FakeVenue::SampleProcessor("room1"));
    venue.Flush();
    fx::MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = std::atoi(argv[1]);
    settings.clientId = "fxtune-test-child";
    fx::MqttBridge bridge(venue, settings);
    if (!bridge.Start()) {
        std::fprintf(stderr, "%s\n", bridge.Status().lastError.c_str());
        return 1;
    }
    for (;;) ::pause(); // until killed
}
