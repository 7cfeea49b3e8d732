#include "app/frm_pelmar.h"
