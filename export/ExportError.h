#pragma once

#include "data/Errors.h"

// A workbook could not be written or put in place; the message says what and where.
VARDOMETER_ERROR_CLASS(ExportError, VardometerError);
