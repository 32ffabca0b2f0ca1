#include "data/catalogue.h"
