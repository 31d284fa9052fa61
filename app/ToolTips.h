#pragma once
// One German sentence per control of the main window: what it does and what its number
// means. Tooltips only; they connect nothing.
namespace tesora {

class TfrmTesora;

void SetToolTips(TfrmTesora& form);

}  // namespace tesora
