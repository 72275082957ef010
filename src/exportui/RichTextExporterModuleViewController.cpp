#include "exportui/RichTextExporterModuleViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>

#include "document/VQDocument.h"
#include "document/DocumentExport.h"
#include "exchange/RichTextExporter.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

const std::string keepColorsKey = "RichTextExporterModuleViewController.keepColors";
const std::string exportFormatKey = "RichTextExporterModuleViewController.exportFormat";

} // namespace

RichTextExporterModuleViewController::RichTextExporterModuleViewController(QWidget* parent)
    : ExportWindowModuleViewController(parent)
    , colorSwitch(new QCheckBox(tr("Keep the text colours"), this))
    , formatPopUp(new QComboBox(this))
{
    formatPopUp->addItems({QString::fromLatin1(wordFormatTitle), QString::fromLatin1(rtfFormatTitle)});
    auto* form = new QFormLayout(this);
    form->addRow(tr("Format:"), formatPopUp);
    form->addRow(QString(), colorSwitch);
    connect(colorSwitch, &QCheckBox::toggled, this, [this] { saveSwitchStates(); });
    connect(formatPopUp, &QComboBox::activated, this, [this] { saveSwitchStates(); });
}

void RichTextExporterModuleViewController::viewDidLoad()
{
    const QSignalBlocker block(colorSwitch);
    UserDefaults& defaults = UserDefaults::standard();
    const int format = formatPopUp->findText(QString::fromStdString(defaults.stringForKey(exportFormatKey).value_or(wordFormatTitle)));
    formatPopUp->setCurrentIndex(format >= 0 ? format : 0);
    // Colours are kept unless the user turned them off.
    const std::optional<UserDefaults::Value> keepColors = defaults.objectForKey(keepColorsKey);
    colorSwitch->setChecked(!keepColors || UserDefaults::toBool(*keepColors));
}

void RichTextExporterModuleViewController::saveSwitchStates()
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(keepColorsKey, colorSwitch->isChecked());
    defaults.set(exportFormatKey, formatPopUp->currentText().toStdString());
}

std::string RichTextExporterModuleViewController::fileType() const
{
    return formatPopUp->currentText() == QLatin1String(wordFormatTitle) ? "docx" : "rtf";
}

ExportResult RichTextExporterModuleViewController::exportToFile()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "export()");
    const std::optional<std::string> url = askForSaveURL({fileType()});
    if (!url)
        return ExportResult::cancelled;
    RichTextExporter::Options options;
    options.keepColors = colorSwitch->isChecked();
    const DocumentExport exporter(*doc);
    exportWaiting(*url, [&] { exporter.exportRichText(*url, options); });
    saveSwitchStates();
    return ExportResult::done;
}

void RichTextExporterModuleViewController::exportToPaseboard()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    RichTextExporter::Options options;
    options.keepColors = colorSwitch->isChecked();
    DocumentExport(*doc).exportRichTextToPasteboard(options);
    saveSwitchStates();
}

} // namespace velquine
