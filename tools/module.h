// The music module: synthesised instruments and a 4-channel "M.K." writer.
#ifndef PELLACORN_TOOLS_MODULE_H
#define PELLACORN_TOOLS_MODULE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "score.h"

// The module's bytes: header, order list, patterns, then the sample data.
std::vector<uint8_t> BuildModule(const Song& S);

#endif
