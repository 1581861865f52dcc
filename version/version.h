#pragma once

#include <QLatin1StringView>
#include <QString>

// The version the programs and the About box show. Made by CMake (version/version.cpp.in).
namespace zelvora {

// The project version set in CMakeLists.txt, e.g. "0.1.0".
QLatin1StringView projectVersion();

// `git describe --always --dirty` of the checkout the build was configured in; empty outside one.
QLatin1StringView gitDescription();

// "0.1.0", or "0.1.0 (a1b2c3d-dirty)" when built from a checkout.
QString versionText();

} // namespace zelvora
