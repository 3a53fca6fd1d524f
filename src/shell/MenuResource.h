#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace vantrel {

// One item of menu 128; id 0 is a separator.
struct MenuItemDef {
    uint32_t id;
    const char* text;
};

struct PopupDef {
    const char* title;
    std::vector<MenuItemDef> items;
};

// Menu 128 before the variant's edits: every command of every variant.
const std::vector<PopupDef>& MainMenuResource();

// Toolbar 128 in button order; id 0 is a separator.
const std::vector<uint32_t>& MainToolbarResource();

// The prompt of a command: the status-bar text (before "\n") and the tooltip
// (after it, empty when there is none).
QString CommandPrompt(uint32_t id);
QString CommandTip(uint32_t id);

} // namespace vantrel
