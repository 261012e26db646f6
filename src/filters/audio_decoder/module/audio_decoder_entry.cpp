// Entry point of the module "LAVAudio.ax".

#include "filters/audio_decoder/module/audio_decoder.h"
#include "filters/lav_settings.h"
#include "platform/modules/module_export.h"

LUMORA_MODULE_CLASSES({CLSID_LAVAudio, &lumora::CreateComInstance<TLAVAudio>});
