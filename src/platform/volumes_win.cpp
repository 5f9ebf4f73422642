// Stand-in until the removable-volume scan lands: lists nothing, so no test can be aimed
// anywhere.
#include "platform/volumes.h"

namespace platform {

std::vector<VolumeInfo> listRemovableVolumes()
{
    return {};
}
bool queryVolumeSpace(const std::string&, VolumeSpace&)
{
    return false;
}
bool isRemovableVolume(const std::string&)
{
    return false;
}
bool findVolumeDevice(const std::string&, VolumeDevice&)
{
    return false;
}

} // namespace platform
