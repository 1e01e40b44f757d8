// preview.h: small software renders of the generated models, for looking at them without the
// game (and for the README). Not part of the generated data.
#pragma once

#include <string>
#include <vector>

#include "models.h"

// Renders one picture per model, the canoe with its crew at both ends of the paddle stroke,
// and the sky box laid out as a cross, into `dir`. Returns an empty string or an error.
std::string RenderPreviews(const std::vector<Asset>& assets, const std::string& dir);
