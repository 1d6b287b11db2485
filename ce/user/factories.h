// The two backends' constructors, for the backend choice in window.cpp.
#pragma once

#include <memory>

#include "ce/user/backend.h"

namespace ce::user {

std::unique_ptr<Backend> MakeNullBackend();
std::unique_ptr<Backend> MakeX11Backend();

}  // namespace ce::user
