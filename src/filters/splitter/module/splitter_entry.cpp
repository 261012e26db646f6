// Entry point of the module "LAVSplitter.ax".

#include "filters/lav_settings.h"
#include "filters/splitter/module/splitter.h"
#include "platform/modules/module_export.h"

LUMORA_MODULE_CLASSES({CLSID_LAVSplitter, &lumora::CreateComInstance<TLAVSplitter>});
