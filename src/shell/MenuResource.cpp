#include "shell/MenuResource.h"

#include "link/StringTable.h"
#include "shell/CommandIds.h"

namespace vantrel {

const std::vector<PopupDef>& MainMenuResource()
{
    // The variants' menu edits remove items by id and the separators by
    // position, so the separators must stay where they are.
    static const std::vector<PopupDef> kMenu = {
        {"&File",
         {{cmd::SelectFirmware, "Select &firmware file"},
          {cmd::SelectCodeplug, "Select &codeplug file"},
          {0, ""},
          {cmd::SaveFirmwareBinary, "Save firm&ware as binary file"},
          {cmd::SaveCodeplugBinary, "Save code&plug as binary file"},
          {cmd::SaveBootcodes, "Save &bootcodes as binary files"},
          {0, ""},
          {cmd::Exit, "E&xit"}}},
        {"&Radio Access",
         {{cmd::RadioInfo, "Radio &Info..."},
          {cmd::ProgramRegionalId, "Program &Regional ID..."},
          {0, ""},
          {cmd::UpgradeRadio, "&Upgrade Radio..."},
          {cmd::FlashFirmware, "&Flash firmware..."},
          {cmd::RecoverRadio, "Re&cover radio..."},
          {cmd::WriteCodeplug, "&Write Codeplug..."},
          {cmd::PatchRadio, "&Patch Radio"},
          {cmd::UndoPatch, "&Undo patch"},
          // Last, after its own separator: the positions above stay as they are.
          {0, ""},
          {cmd::ServiceHistory, "Service &history..."}}},
        {"&Options", {{cmd::Configuration, "&Configuration..."}}},
        {"&View", {{cmd::ViewToolbar, "&Toolbar"}, {cmd::ViewStatusBar, "&Status Bar"}}},
        {"&Help",
         {{cmd::HelpTopics, "&Help Topics"},
          {0, ""},
          {cmd::About, "&About Vantrel..."},
          {cmd::AboutLab, "About Vantrel - &Lab version..."},
          {cmd::AboutMendkit, "&About Mendkit"}}},
    };
    return kMenu;
}

const std::vector<uint32_t>& MainToolbarResource()
{
    static const std::vector<uint32_t> kToolbar = {cmd::ToolbarRadioInfo, cmd::ToolbarUpgrade, 0, cmd::ToolbarAbout};
    return kToolbar;
}

QString CommandPrompt(uint32_t id)
{
    const QString text = QString::fromUtf8(LoadMessageText(id));
    return text.section(QLatin1Char('\n'), 0, 0);
}

QString CommandTip(uint32_t id)
{
    const QString text = QString::fromUtf8(LoadMessageText(id));
    const qsizetype newline = text.indexOf(QLatin1Char('\n'));
    return newline < 0 ? QString() : text.mid(newline + 1);
}

} // namespace vantrel
