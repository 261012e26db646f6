#pragma once
// Everything a client of the filter-graph framework's interfaces needs.

#include "directshow/control_interfaces.h"
#include "directshow/dshow_guids.h"
#include "directshow/dshow_types.h"
#include "directshow/filter_interfaces.h"
#include "directshow/formats.h"
#include "directshow/media_type.h"
