// A scene's text with its numbers that are not finite put right, so that
// its rig can still be read: the module writes "inf" and "nan" for a model
// whose numbers overflow, and the scene reader refuses them.
#pragma once

#include <string>

namespace standin {

// `text` with every number that is not finite (or out of a double's range)
// in a bone's rest values or a motion key written as 1e300, its sign kept,
// which the rig takes as not finite (see rig.h).  Other lines are
// copied as they are.
std::string finiteSceneText(const std::string &text);

} // namespace standin
