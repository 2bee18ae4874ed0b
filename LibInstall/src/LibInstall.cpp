#include "LibInstall.h"

namespace install {

const char* sAllowDownloadFlagMsg = "Unable to download runtime installer without -allowDownload";

}  // namespace install
