// gauge_inspect MODULE.gau...: loads each gauge module into the stand-in host and prints what
// the host finds in it, then runs it through one initialise, cycle and kill.
#include <stdio.h>

#include "panel_host.h"

using namespace panel_host;

static const char *element_type_name(uint32_t type)
{
    return type == ELEMENT_TYPE_STATIC_IMAGE ? "static image" : type == ELEMENT_TYPE_STRING ? "string" : "other";
}

static int inspect(const char *path)
{
    Module module;
    std::string error;
    if (!load_module(path, module, error)) {
        fprintf(stderr, "error: %s\n", error.c_str());
        return 1;
    }
    printf("%s\n  module id 0x%X, version 0x%04X, %u gauge(s)\n", path, module.linkage->module_id,
           module.linkage->module_version, (unsigned)module.gauges.size());
    for (size_t g = 0; g < module.gauges.size(); ++g) {
        Instance gauge = make_instance(module, g);
        printf("  gauge \"%s\", header version %u, %d mm wide\n", gauge.gauge->gauge_name,
               gauge.gauge->gauge_header_version, gauge.gauge->size_x_mm);
        for (ELEMENT_HEADER *element : gauge.elements)
            printf("    element: %s, resource %d, at (%d, %d)\n", element_type_name(element->element_type),
                   element->resource_id, element->position_x, element->position_y);
        clear_fetches();
        uint32_t mark = sound_journal()->event_count;
        initialize(gauge);
        cycle(gauge);
        printf("    one update fetches tokens:");
        for (const Fetch &fetch : fetches())
            printf(" %u", fetch.token);
        printf("\n");
        for (StringElement &string : gauge.strings)
            printf("    string element text: \"%s\"\n", string.text.c_str());
        kill(gauge);
        for (const SOUND_EVENT &event : sound_events(mark))
            printf("    sound library: %s\n", event.kind == SOUND_EVENT_PLAY ? "play"
                                              : event.kind == SOUND_EVENT_STOP ? "stop"
                                              : event.kind == SOUND_EVENT_TERMINATE ? "terminate"
                                              : event.kind == SOUND_EVENT_ATTACH ? "loaded" : "unloaded");
    }
    unload_module(module);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: gauge_inspect MODULE.gau...\n");
        return 2;
    }
    use_sound_library("full");
    int status = 0;
    for (int i = 1; i < argc; ++i)
        status |= inspect(argv[i]);
    return status;
}
