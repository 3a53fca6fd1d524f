#pragma once

#include <cstdint>

namespace vantrel {

// Command ids of menu 128, toolbar 128 and accelerator table 128. The prompt of
// a command is the string-table text with the same id.
namespace cmd {
constexpr uint32_t SelectFirmware = 57601;
constexpr uint32_t SelectCodeplug = 32781;
constexpr uint32_t SaveFirmwareBinary = 32776;
constexpr uint32_t SaveCodeplugBinary = 32780;
constexpr uint32_t SaveBootcodes = 32777;
constexpr uint32_t Exit = 57665;
constexpr uint32_t RadioInfo = 32771;
constexpr uint32_t ProgramRegionalId = 32774;
constexpr uint32_t UpgradeRadio = 32772;
constexpr uint32_t FlashFirmware = 32783;
constexpr uint32_t WriteCodeplug = 32782;
constexpr uint32_t PatchRadio = 32792;
constexpr uint32_t UndoPatch = 32793;
constexpr uint32_t Configuration = 32773;
constexpr uint32_t ViewToolbar = 59392;
constexpr uint32_t ViewStatusBar = 59393;
constexpr uint32_t HelpTopics = 57667;
constexpr uint32_t About = 57664;
constexpr uint32_t AboutLab = 32784;
constexpr uint32_t AboutMendkit = 32794;
constexpr uint32_t ToolbarRadioInfo = 32779;
constexpr uint32_t ToolbarUpgrade = 32778;
constexpr uint32_t ToolbarAbout = 32785;
// Added beside the system's commands: the records of the operations done.
constexpr uint32_t ServiceHistory = 32801;
// Added beside the defined commands: recovery of a radio in bootstrap mode.
constexpr uint32_t RecoverRadio = 32800;
// Accelerator targets: help and pane switching. The program has no help
// content and one pane, so they are bound but do nothing.
constexpr uint32_t Help = 57670;
constexpr uint32_t ContextHelp = 57669;
constexpr uint32_t NextPane = 57680;
constexpr uint32_t PrevPane = 57681;
} // namespace cmd

} // namespace vantrel
