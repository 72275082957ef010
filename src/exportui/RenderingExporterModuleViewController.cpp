#include "exportui/RenderingExporterModuleViewController.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "platform/Log.h"
#include "platform/LongWork.h"
#include "platform/SafeSave.h"
#include "platform/UserDefaults.h"

namespace velquine {

RenderingExporterModuleViewController::RenderingExporterModuleViewController(std::string className, QWidget* parent)
    : ExportWindowModuleViewController(parent)
    , transparentBackgroundSwitch(new QCheckBox(tr("Transparent background"), this))
    , renderGridSwitch(new QCheckBox(tr("Draw the grid"), this))
    , className_(std::move(className))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(transparentBackgroundSwitch);
    layout->addWidget(renderGridSwitch);
    layout->addStretch();
    for (QCheckBox* box : {transparentBackgroundSwitch, renderGridSwitch})
        connect(box, &QCheckBox::clicked, this, [this, box] { updateSwitchStates(box); });
}

void RenderingExporterModuleViewController::viewDidLoad()
{
    UserDefaults& defaults = UserDefaults::standard();
    transparentBackgroundSwitch->setChecked(defaults.boolForKey(key("transparentBackground")));
    renderGridSwitch->setChecked(defaults.boolForKey(key("renderGrid")));
    updateSwitchStates(transparentBackgroundSwitch);
    updateSwitchStates(renderGridSwitch);
}

GraphRenderOptions RenderingExporterModuleViewController::renderOptions() const
{
    GraphRenderOptions options;
    options.transparentBackground = transparentBackgroundSwitch->isChecked();
    options.renderGrid = renderGridSwitch->isChecked();
    // A big map takes long to draw: windows repaint between its parts.
    options.betweenParts = &LongWork::letLoopRun;
    return options;
}

void RenderingExporterModuleViewController::updateSwitchStates(QCheckBox* sender)
{
    QCheckBox* other = sender == transparentBackgroundSwitch ? renderGridSwitch : transparentBackgroundSwitch;
    QCheckBox* changed = sender == transparentBackgroundSwitch ? transparentBackgroundSwitch : renderGridSwitch;
    if (changed->isChecked())
        other->setChecked(false);
    other->setEnabled(!changed->isChecked());
    saveSwitchStates();
}

void RenderingExporterModuleViewController::saveSwitchStates()
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(key("transparentBackground"), transparentBackgroundSwitch->isChecked());
    defaults.set(key("renderGrid"), renderGridSwitch->isChecked());
}

void RenderingExporterModuleViewController::writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::string cause;
    if (!replaceFileContents(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &cause))
        throw TextError(cause + ": " + path);
}

} // namespace velquine
