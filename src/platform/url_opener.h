#pragma once

#include <QString>

#include <optional>

// Opening an address in the user's browser from a program without a window system of its own.
namespace vantu::platform::UrlOpener {

// Runs the desktop's opener (xdg-open, found on PATH) for `url` and waits for its answer.
// nullopt once it has opened it; otherwise the sentence that says why not.
std::optional<QString> open(const QString& url);

}  // namespace vantu::platform::UrlOpener
