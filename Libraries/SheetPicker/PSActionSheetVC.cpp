#include "Libraries/SheetPicker/PSActionSheetVC.h"

#include "Libraries/SheetPicker/PSActionSheet.h"

namespace morvix {

using namespace platform;

std::shared_ptr<PSActionSheetVC> PSActionSheetVC::create()
{
    return std::shared_ptr<PSActionSheetVC>(new PSActionSheetVC());
}

void PSActionSheetVC::setActionSheet(std::shared_ptr<PSActionSheet> sheet)
{
    if (sheet == m_actionSheet)
        return;
    if (!sheet) {
        m_actionSheet = nullptr;
        return;
    }
    if (m_actionSheet && m_actionSheet->isPresented())
        m_actionSheet->dismissWithClickedButtonIndex(0, Animated::Yes);
    m_actionSheet = std::move(sheet);
    presentActionSheetAnimated(Animated::Yes);
}

void PSActionSheetVC::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    presentActionSheetAnimated(Animated::Yes);
}

void PSActionSheetVC::presentActionSheetAnimated(Animated animated)
{
    if (!m_actionSheet || !isViewLoaded() || m_actionSheet->isPresented())
        return;
    auto sheet = m_actionSheet;
    sheet->configureFrameForBounds(view()->bounds());
    sheet->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    view()->addSubview(sheet);
    sheet->showInContainerViewAnimated(animated);
}

} // namespace morvix
