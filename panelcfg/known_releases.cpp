#include "known_releases.h"

#include "panel_document.h"

namespace panelcfg {

const ReleasedFile *release_of(std::span<const ReleasedFile> releases, std::string_view file_name,
                               std::string_view sha256)
{
    for (const ReleasedFile &released : releases)
        if (sha256 == released.sha256 && lower_ascii(file_name) == lower_ascii(released.file))
            return &released;
    return nullptr;
}

}  // namespace panelcfg
