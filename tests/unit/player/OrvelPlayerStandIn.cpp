// OrvelPlayer.dll for the transport tests: the factory hands out whatever player the test put in.
#define ORVEL_BUILD_DLL
#include "OrvelPlayer.h"

namespace {
IOrvelPlayer* Installed = nullptr;
}

extern "C" __declspec(dllexport) void InstallOrvelPlayer(IOrvelPlayer* player) { Installed = player; }

IOrvelPlayer* IOrvelPlayer::GetOrvelPlayer() { return Installed; }
