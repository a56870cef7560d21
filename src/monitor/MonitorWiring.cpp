#include "app/Program.h"

namespace orvel {

void Program::wireOscilloscope() {}

}  // namespace orvel
