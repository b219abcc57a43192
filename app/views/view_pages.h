// The pages of the right pane, by their headers.
#pragma once

#include "bitmap_page.h"
#include "view_page.h"
#include "wave_data_page.h"
#include "wave_graph_page.h"
#include "wave_param_page.h"
