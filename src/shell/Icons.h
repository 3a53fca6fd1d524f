#pragma once

#include <QIcon>
#include <QPixmap>
#include <cstdint>

namespace vantrel {

// Toolbar button images (16 x 15), the main icon and the caution picture,
// drawn rather than shipped so they scale with nothing but Qt.
QPixmap ToolbarImage(uint32_t commandId);
QIcon MainIcon();
QPixmap CautionPicture();

} // namespace vantrel
