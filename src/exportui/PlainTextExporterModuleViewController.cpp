#include "exportui/PlainTextExporterModuleViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>

#include "document/VQDocument.h"
#include "document/DocumentExport.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

using IndentMode = PlainTextExporter::Options::IndentMode;

const std::string hyphenateKey = "PlainTextExporterModuleViewController.hyphenate";
const std::string appendColonKey = "PlainTextExporterModuleViewController.appendColon";
const std::string indentModeKey = "PlainTextExporterModuleViewController.indentMode";

} // namespace

PlainTextExporterModuleViewController::PlainTextExporterModuleViewController(QWidget* parent)
    : ExportWindowModuleViewController(parent)
    , hyphenateSwitch(new QCheckBox(tr("Put a hyphen before every child"), this))
    , colonSwitch(new QCheckBox(tr("Put a colon after every parent"), this))
    , indentPopUp(new QComboBox(this))
{
    for (IndentMode mode : {IndentMode::tab, IndentMode::oneSpace, IndentMode::twoSpace, IndentMode::fourSpace})
        indentPopUp->addItem(indentTitle(mode), QVariant::fromValue(static_cast<qlonglong>(mode)));
    auto* form = new QFormLayout(this);
    form->addRow(tr("Indent:"), indentPopUp);
    form->addRow(QString(), hyphenateSwitch);
    form->addRow(QString(), colonSwitch);
    connect(hyphenateSwitch, &QCheckBox::toggled, this, [this] { saveSwitchStates(); });
    connect(colonSwitch, &QCheckBox::toggled, this, [this] { saveSwitchStates(); });
    connect(indentPopUp, &QComboBox::activated, this, [this] { saveSwitchStates(); });
}

QString PlainTextExporterModuleViewController::indentTitle(IndentMode mode)
{
    switch (mode) {
    case IndentMode::twoSpace:
        return QStringLiteral("2 Spaces");
    case IndentMode::tab:
        return QStringLiteral("Tab");
    case IndentMode::oneSpace:
        return QStringLiteral("1 Space");
    case IndentMode::fourSpace:
        return QStringLiteral("4 Spaces");
    }
    return QStringLiteral("2 Spaces");
}

void PlainTextExporterModuleViewController::viewDidLoad()
{
    const QSignalBlocker blockHyphens(hyphenateSwitch);
    const QSignalBlocker blockColons(colonSwitch);
    UserDefaults& defaults = UserDefaults::standard();
    hyphenateSwitch->setChecked(defaults.boolForKey(hyphenateKey));
    colonSwitch->setChecked(defaults.boolForKey(appendColonKey));
    const IndentMode mode = PlainTextExporter::Options::makeIndentMode(defaults.integerForKey(indentModeKey)).value_or(IndentMode::twoSpace);
    indentPopUp->setCurrentText(indentTitle(mode));
}

PlainTextExporter::Options PlainTextExporterModuleViewController::options() const
{
    PlainTextExporter::Options options;
    options.appendColon = colonSwitch->isChecked();
    options.hyphenate = hyphenateSwitch->isChecked();
    for (IndentMode mode : {IndentMode::twoSpace, IndentMode::tab, IndentMode::oneSpace, IndentMode::fourSpace}) {
        if (indentPopUp->currentText() == indentTitle(mode))
            options.indentMode = mode;
    }
    return options;
}

void PlainTextExporterModuleViewController::saveSwitchStates()
{
    const PlainTextExporter::Options current = options();
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(hyphenateKey, current.hyphenate);
    defaults.set(appendColonKey, current.appendColon);
    defaults.set(indentModeKey, static_cast<std::int64_t>(current.indentMode));
}

ExportResult PlainTextExporterModuleViewController::exportToFile()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "export()");
    const std::optional<std::string> url = askForSaveURL({"txt"});
    if (!url)
        return ExportResult::cancelled;
    const DocumentExport exporter(*doc);
    const PlainTextExporter::Options chosen = options();
    exportWaiting(*url, [&] { exporter.exportPlainText(*url, chosen); });
    saveSwitchStates();
    return ExportResult::done;
}

void PlainTextExporterModuleViewController::exportToPaseboard()
{
    const std::shared_ptr<VQDocument> doc = requireDocument(__FILE__, __LINE__, "exportToPaseboard()");
    DocumentExport(*doc).exportPlainTextToPasteboard(options());
    saveSwitchStates();
}

} // namespace velquine
