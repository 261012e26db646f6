// Entry point of the module "LAVVideo.ax".

#include "filters/lav_settings.h"
#include "filters/video_decoder/module/video_decoder.h"
#include "platform/modules/module_export.h"

LUMORA_MODULE_CLASSES({CLSID_LAVVideo, &lumora::CreateComInstance<TLAVVideo>});
