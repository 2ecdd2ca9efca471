#include "plant_overview_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <cmath>

#include "chamber_tile_widget.h"
#include "charge_report_dialog.h"
#include "flow_layout.h"
#include "serving_clock.h"
#include "app/qs.h"

using namespace torv;
using namespace torv::plant;

namespace {


QString TimeText(const drying_log::LocalTime& t)
{
    return QString::asprintf("%02d.%02d. %02d:%02d:%02d", t.day, t.month, t.hour, t.minute, t.second);
}

// What the thresholds dialog calls each threshold, in the file's order.
constexpr std::array<const char*, kThresholdFields.size()> kThresholdLabels{
    "Brak komunikacji po tylu nieudanych odczytach z rz\u0119du",
    "Odchy\u0142ka T suchy od TEMP zadana wi\u0119ksza ni\u017c (\u00b0C)",
    "\u2026 trwaj\u0105ca d\u0142u\u017cej ni\u017c (min)",
    "Awaria czujnika: odczyt poni\u017cej (\u00b0C)",
    "Awaria czujnika: odczyt powy\u017cej (\u00b0C)",
    "T mokry wy\u017csza od T suchy o wi\u0119cej ni\u017c (\u00b0C)",
    "\u2026 w tylu odczytach z rz\u0119du",
};

} // namespace

PlantOverviewWindow::PlantOverviewWindow(Station& station, Hooks hooks, std::string directory, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , overview_(station)
    , hooks_(std::move(hooks))
    , directory_(std::move(directory))
    , alarmLog_(directory_)
{
    setObjectName(QStringLiteral("PlantOverviewWindow"));
    setWindowTitle(QStringLiteral("Przegl\u0105d kom\u00f3r"));
    // Two rows of tiles (a running programme's and a silent chamber's, with
    // their RH and EMC line) without a scroll bar.
    resize(760, 580);
    // Not served during bus work, unlike the bus monitor: its buttons open
    // dialogs and change the list the rounds walk. Its input is kept during
    // any bus work (a handler's or its own scan's) and runs once the line is free.
    ServingClock::keepInputOf(this);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Runda co"), this));
    roundSeconds_ = new QSpinBox(this);
    roundSeconds_->setObjectName(QStringLiteral("RoundSeconds"));
    roundSeconds_->setRange(kMinRoundSeconds, kMaxRoundSeconds);
    roundSeconds_->setSuffix(QStringLiteral(" s"));
    bar->addWidget(roundSeconds_);
    bar->addStretch();
    const auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        bar->addWidget(b);
        return b;
    };
    addButton_ = button("AddChamber", QStringLiteral("&Dodaj\u2026"));
    removeButton_ = button("RemoveChamber", QStringLiteral("&Usu\u0144"));
    renameButton_ = button("RenameChamber", QStringLiteral("Zmie\u0144 &nazw\u0119\u2026"));
    busTestButton_ = button("ChambersFromBusTest", QStringLiteral("Z &testu sieci"));
    thresholdsButton_ = button("AlarmThresholds", QStringLiteral("&Progi alarm\u00f3w\u2026"));
    layout->addLayout(bar);

    problemsLabel_ = new QLabel(this);
    problemsLabel_->setObjectName(QStringLiteral("ListProblems"));
    problemsLabel_->setStyleSheet(QStringLiteral("color: #c00000"));
    problemsLabel_->setWordWrap(true);
    problemsLabel_->setTextFormat(Qt::PlainText);
    layout->addWidget(problemsLabel_);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    tilesArea_ = new QWidget(scroll);
    tilesLayout_ = new FlowLayout(tilesArea_);
    scroll->setWidget(tilesArea_);
    layout->addWidget(scroll, 3);

    layout->addWidget(new QLabel(QStringLiteral("Alarmy"), this));
    alarmTable_ = new QTableWidget(0, 5, this);
    alarmTable_->setObjectName(QStringLiteral("AlarmList"));
    alarmTable_->setHorizontalHeaderLabels({QStringLiteral("Czas"), QStringLiteral("Komora"), QStringLiteral("Rodzaj"),
                                            QStringLiteral("Warto\u015b\u0107"), QStringLiteral("Ust\u0105pi\u0142")});
    alarmTable_->horizontalHeader()->setStretchLastSection(true);
    alarmTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    alarmTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    alarmTable_->verticalHeader()->hide();
    layout->addWidget(alarmTable_, 1);
    auto* ackBar = new QHBoxLayout;
    ackBar->addStretch();
    acknowledgeButton_ = new QPushButton(QStringLiteral("Potwier&d\u017a"), this);
    acknowledgeButton_->setObjectName(QStringLiteral("AcknowledgeAlarms"));
    ackBar->addWidget(acknowledgeButton_);
    layout->addLayout(ackBar);

    scanTimer_ = new QTimer(this);
    scanTimer_->setSingleShot(true);
    connect(scanTimer_, &QTimer::timeout, this, &PlantOverviewWindow::scanStep);
    connect(addButton_, &QPushButton::clicked, this, &PlantOverviewWindow::askAdd);
    connect(removeButton_, &QPushButton::clicked, this, [this] {
        if (const int a = selectedChamber())
            removeChamber(a);
    });
    connect(renameButton_, &QPushButton::clicked, this, &PlantOverviewWindow::askRename);
    connect(busTestButton_, &QPushButton::clicked, this, &PlantOverviewWindow::takeBusTest);
    connect(thresholdsButton_, &QPushButton::clicked, this, &PlantOverviewWindow::askThresholds);
    connect(acknowledgeButton_, &QPushButton::clicked, this, &PlantOverviewWindow::acknowledgeSelected);
    connect(roundSeconds_, &QSpinBox::editingFinished, this, [this] { setRoundSeconds(roundSeconds_->value()); });

    listSinks();
    load();
}

// Each scan: the drying log and the chart, its tile, the alarm log, a
// message for each alarm raised, then the alarm list.
void PlantOverviewWindow::listSinks()
{
    sinks_.add([this](const Overview&, const Overview::Step& s) {
              if (hooks_.measured)
                  hooks_.measured(s.scan, s.answered);
          })
        .add([this](const Overview&, const Overview::Step& s) { refreshTile(s.scan.address); })
        .add(AlarmLogSink(alarmLog_))
        .add([this](const Overview& o, const Overview::Step& s) {
            for (const AlarmEvent& e : s.events)
                if (e.type == AlarmEventType::Raised && hooks_.alarmRaised)
                    hooks_.alarmRaised(AlarmEventLine(ChamberName(o.list(), e.id.address), e));
        })
        .add([this](const Overview&, const Overview::Step& s) {
            if (!s.events.empty())
                refreshAlarms();
        });
}

PlantOverviewWindow::~PlantOverviewWindow()
{
    // Closing the widget on its way out takes the focus from a field, whose
    // editingFinished would otherwise call into this half-destroyed window.
    QObject::disconnect(roundSeconds_, nullptr, this, nullptr);
}

ChamberTileWidget* PlantOverviewWindow::tile(int address) const
{
    const auto it = tiles_.find(address);
    return it == tiles_.end() ? nullptr : it->second;
}

QString PlantOverviewWindow::listProblems() const { return problemsLabel_->text(); }

bool PlantOverviewWindow::scanning() const { return scanTimer_->isActive(); }

std::string PlantOverviewWindow::listPath() const { return directory_ + "/" + kChamberListFileName; }

// What the file holds now: its bytes, nothing when there is none (or it is
// not a file that can be read: that is reported by the reading itself).
std::optional<std::string> PlantOverviewWindow::FileState(const files::Contents& file)
{
    if (!file.ok())
        return std::nullopt;
    return file.bytes;
}

void PlantOverviewWindow::reload()
{
    load();
    scheduleNext();
}

void PlantOverviewWindow::load()
{
    // Read afresh each time: the file may have been edited by hand meanwhile.
    const files::Contents file = files::ReadRegularFile(listPath(), kChamberListMaxBytes);
    fileState_ = FileState(file);
    const ChamberListResult read = ChamberListOfContents(file);
    problems_ = read.problems;
    // A broken list is shown, not replaced: nothing is scanned and nothing
    // edited until the file is mended.
    QStringList lines;
    if (!read.ok()) {
        lines << QStringLiteral("Nie wczytano pliku %1:").arg(QString::fromLatin1(kChamberListFileName));
        for (const std::string& p : read.problems)
            lines << qs(p);
    }
    problemsLabel_->setText(lines.join(QLatin1Char('\n')));
    problemsLabel_->setVisible(!read.ok());
    for (QWidget* w : std::initializer_list<QWidget*>{roundSeconds_, addButton_, removeButton_, renameButton_, busTestButton_,
                                                     thresholdsButton_})
        w->setEnabled(read.ok());
    overview_.setList(read.list);
    roundSeconds_->setValue(read.list.roundSeconds);
    rebuildTiles();
}

bool PlantOverviewWindow::save(const ChamberList& list)
{
    // Never over a file changed since it was read: that change would be lost
    // without anyone seeing it. The file is shown as it is now instead.
    if (FileState(files::ReadRegularFile(listPath(), kChamberListMaxBytes)) != fileState_) {
        QMessageBox::warning(this, QStringLiteral("Uwaga !"),
                             QStringLiteral("Plik %1 zmieni\u0142 si\u0119 od wczytania: nie zapisano zmiany, \u017ceby nie "
                                            "zast\u0105pi\u0107 tamtej. Wczytano go ponownie.")
                                 .arg(QString::fromLatin1(kChamberListFileName)));
        reload();
        return false;
    }
    std::string error;
    if (!WriteChamberListFile(listPath(), list, error)) {
        QMessageBox::warning(this, QStringLiteral("Uwaga !"),
                             QStringLiteral("Nie zapisano pliku %1:\n%2").arg(QString::fromLatin1(kChamberListFileName), qs(error)));
        return false;
    }
    fileState_ = ChamberListJson(list);
    overview_.setList(list);
    rebuildTiles();
    scheduleNext();
    return true;
}

void PlantOverviewWindow::rebuildTiles()
{
    std::map<int, ChamberTileWidget*> kept;
    for (const Chamber& c : overview_.list().chambers) {
        ChamberTileWidget* t = tile(c.address);
        if (t) {
            tiles_.erase(c.address);
        } else {
            t = new ChamberTileWidget(c.address, tilesArea_);
            connect(t, &ChamberTileWidget::activated, this, [this](int address) {
                if (hooks_.makeActive)
                    hooks_.makeActive(address);
            });
            connect(t, &ChamberTileWidget::selected, this, [this](int address) { lastSelected_ = address; });
            // The tile's context menu: the chamber's charge report.
            auto* report = new QAction(QStringLiteral("Raport\u2026"), t);
            report->setObjectName(QStringLiteral("ReportAction"));
            connect(report, &QAction::triggered, this, [this, address = c.address] {
                OpenChargeReport(this, QString::fromStdString(directory_), address);
            });
            t->addAction(report);
            t->setContextMenuPolicy(Qt::ActionsContextMenu);
        }
        tilesLayout_->removeWidget(t);
        tilesLayout_->addWidget(t);
        kept[c.address] = t;
    }
    for (auto& [address, t] : tiles_)
        delete t;
    tiles_ = std::move(kept);
    for (const auto& [address, t] : tiles_)
        refreshTile(address);
    refreshAlarms();
}

void PlantOverviewWindow::refreshTile(int address)
{
    ChamberTileWidget* t = tile(address);
    if (!t)
        return;
    const ChamberAlarms alarms = overview_.alarms().chamber(address);
    QStringList texts;
    for (const Alarm& a : ActiveAlarms(overview_.alarms().alarms(), address))
        texts << qs(std::string(AlarmName(a.id.kind)));
    t->display(overview_.tile(address),
               alarms.fault    ? ChamberTileWidget::Alarm::Fault
               : alarms.notice ? ChamberTileWidget::Alarm::Notice
                               : ChamberTileWidget::Alarm::None,
               texts.join(QStringLiteral(", ")));
}

// Which alarm a row shows: its chamber, kind and raise time, so a list
// re-sorted or shortened by a scan never moves the operator's selection or
// acknowledgement onto another alarm.
QString PlantOverviewWindow::alarmKey(const Alarm& a)
{
    return QStringLiteral("%1/%2/%3")
        .arg(a.id.address)
        .arg(static_cast<int>(a.id.kind))
        .arg(qs(drying_log::IsoTime(a.raised)));
}

QStringList PlantOverviewWindow::selectedAlarmKeys() const
{
    QStringList keys;
    for (const QModelIndex& index : alarmTable_->selectionModel()->selectedRows())
        if (const QTableWidgetItem* item = alarmTable_->item(index.row(), 0))
            keys << item->data(Qt::UserRole).toString();
    return keys;
}

void PlantOverviewWindow::refreshAlarms()
{
    const QStringList selected = selectedAlarmKeys();
    const std::vector<Alarm>& alarms = overview_.alarms().alarms();
    alarmTable_->clearSelection();
    alarmTable_->setRowCount(static_cast<int>(alarms.size()));
    for (int row = 0; row < static_cast<int>(alarms.size()); ++row) {
        const Alarm& a = alarms[static_cast<std::size_t>(row)];
        const QStringList cells{TimeText(a.raised), qs(ChamberName(overview_.list(), a.id.address)),
                                qs(std::string(AlarmName(a.id.kind))) + (a.acknowledged ? QStringLiteral(" (potwierdzony)") : QString()),
                                qs(a.value), a.cleared ? QStringLiteral("tak") : QString()};
        for (int column = 0; column < cells.size(); ++column)
            alarmTable_->setItem(row, column, new QTableWidgetItem(cells[column]));
        alarmTable_->item(row, 0)->setData(Qt::UserRole, alarmKey(a));
    }
    // The selection follows its alarms; one that left the list is no longer selected.
    for (int row = 0; row < static_cast<int>(alarms.size()); ++row)
        if (selected.contains(alarmKey(alarms[static_cast<std::size_t>(row)])))
            alarmTable_->selectionModel()->select(alarmTable_->model()->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    alarmTable_->resizeColumnsToContents();
}

void PlantOverviewWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    scheduleNext();
}

void PlantOverviewWindow::closeEvent(QCloseEvent* event)
{
    // Closed, the line is as without the overview.
    scanTimer_->stop();
    QWidget::closeEvent(event);
}

void PlantOverviewWindow::scheduleNext()
{
    if (!isVisible() || !problems_.empty() || overview_.list().chambers.empty()) {
        scanTimer_->stop();
        return;
    }
    const std::uint64_t now = hooks_.nowUs();
    const std::uint64_t due = overview_.nextScanUs();
    // Back to the event loop between scans either way: the line is idle
    // there, and what the operator started goes first.
    const auto ms = due > now ? static_cast<int>(std::min<std::uint64_t>((due - now + 999) / 1000, 3600000)) : 0;
    scanTimer_->start(ms);
}

void PlantOverviewWindow::scanStep()
{
    if (!isVisible() || !problems_.empty())
        return;
    // Never inside a handler's bus work, nor in a box it holds open, nor
    // before the operator's input kept during the last scan has all run.
    if (ServingClock::serving() || ServingClock::replayPending() || (hooks_.lineFree && !hooks_.lineFree())) {
        scanTimer_->start(50);
        return;
    }
    ServingClock::keepInput(true);
    const std::optional<Overview::Step> step =
        overview_.step(hooks_.nowUs(), drying_log::SystemLocalTime(), [] { return ServingClock::inputKept(); });
    // What the operator did meanwhile runs now, before the next scan.
    ServingClock::keepInput(false);
    if (hooks_.lineWorkDone)
        hooks_.lineWorkDone();
    if (step) {
        sinks_.deliver(overview_, *step);
        emit scanned(step->scan.address, step->answered);
    }
    scheduleNext();
}

int PlantOverviewWindow::selectedChamber() const
{
    for (const auto& [address, t] : tiles_)
        if (t->hasFocus())
            return address;
    return tile(lastSelected_) ? lastSelected_ : 0;
}

void PlantOverviewWindow::askAdd()
{
    bool ok = false;
    const int address = QInputDialog::getInt(this, QStringLiteral("Dodaj komor\u0119"), QStringLiteral("Adres komory (1..250):"),
                                             1, 1, 250, 1, &ok);
    if (!ok)
        return;
    const QString name = QInputDialog::getText(this, QStringLiteral("Dodaj komor\u0119"), QStringLiteral("Nazwa komory:"),
                                               QLineEdit::Normal, qs(DefaultChamberName(address)), &ok);
    if (ok)
        addChamber(address, name);
}

void PlantOverviewWindow::askRename()
{
    const int address = selectedChamber();
    if (!address)
        return;
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Zmie\u0144 nazw\u0119"), QStringLiteral("Nazwa komory:"),
                                               QLineEdit::Normal, qs(ChamberName(overview_.list(), address)), &ok);
    if (ok)
        renameChamber(address, name);
}

void PlantOverviewWindow::addChamber(int address, const QString& name)
{
    ChamberList list = overview_.list();
    if (FindChamber(list, address))
        return;
    list.chambers.push_back({address, name.trimmed().toStdString()});
    const std::vector<std::string> problems = ChamberListProblems(list);
    if (!problems.empty()) {
        QMessageBox::warning(this, QStringLiteral("Uwaga !"), qs(problems.front()));
        return;
    }
    lastSelected_ = address;
    save(list);
}

void PlantOverviewWindow::removeChamber(int address)
{
    ChamberList list = overview_.list();
    std::erase_if(list.chambers, [&](const Chamber& c) { return c.address == address; });
    save(list);
}

void PlantOverviewWindow::renameChamber(int address, const QString& name)
{
    ChamberList list = overview_.list();
    if (Chamber* c = FindChamber(list, address))
        c->name = name.trimmed().toStdString();
    const std::vector<std::string> problems = ChamberListProblems(list);
    if (!problems.empty()) {
        QMessageBox::warning(this, QStringLiteral("Uwaga !"), qs(problems.front()));
        return;
    }
    save(list);
}

void PlantOverviewWindow::takeBusTest()
{
    const std::vector<std::uint8_t> found = hooks_.busTestFound ? hooks_.busTestFound() : std::vector<std::uint8_t>{};
    if (found.empty()) {
        QMessageBox::information(this, QStringLiteral("Uwaga !"),
                                 QStringLiteral("Test sieci nie znalaz\u0142 jeszcze \u017cadnej komory (TEST MBUS)."));
        return;
    }
    ChamberList list = overview_.list();
    for (const std::uint8_t a : found)
        if (!FindChamber(list, a))
            list.chambers.push_back({a, DefaultChamberName(a)});
    save(list);
}

void PlantOverviewWindow::askThresholds()
{
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Progi alarm\u00f3w"));
    auto* form = new QFormLayout(&dialog);
    const AlarmThresholds now = overview_.list().alarms;
    std::vector<QSpinBox*> whole;
    std::vector<QDoubleSpinBox*> degrees;
    for (std::size_t i = 0; i < kThresholdFields.size(); ++i) {
        const ThresholdField& f = kThresholdFields[i];
        QWidget* editor = nullptr;
        if (f.degrees) {
            auto* box = new QDoubleSpinBox(&dialog);
            box->setDecimals(1);
            box->setSingleStep(0.1);
            box->setRange(f.min / 10.0, f.max / 10.0);
            box->setValue(now.*f.field / 10.0);
            degrees.push_back(box);
            whole.push_back(nullptr);
            editor = box;
        } else {
            auto* box = new QSpinBox(&dialog);
            box->setRange(f.min, f.max);
            box->setValue(now.*f.field);
            whole.push_back(box);
            degrees.push_back(nullptr);
            editor = box;
        }
        editor->setObjectName(QString::fromUtf8(f.key.data(), static_cast<int>(f.key.size())));
        form->addRow(QString::fromUtf8(kThresholdLabels[i]), editor);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    AlarmThresholds chosen;
    for (std::size_t i = 0; i < kThresholdFields.size(); ++i)
        chosen.*kThresholdFields[i].field =
            whole[i] ? whole[i]->value() : static_cast<int>(std::lround(degrees[i]->value() * 10.0));
    setThresholds(chosen);
}

void PlantOverviewWindow::setThresholds(const AlarmThresholds& thresholds)
{
    ChamberList list = overview_.list();
    if (list.alarms == thresholds)
        return;
    list.alarms = thresholds;
    save(list);
}

void PlantOverviewWindow::setRoundSeconds(int seconds)
{
    ChamberList list = overview_.list();
    if (list.roundSeconds == seconds)
        return;
    list.roundSeconds = seconds;
    save(list);
}

void PlantOverviewWindow::acknowledgeSelected()
{
    // By identity: only the very alarms the operator selected, still on the list.
    std::vector<AlarmId> which;
    const QStringList selected = selectedAlarmKeys();
    for (const Alarm& a : overview_.alarms().alarms())
        if (selected.contains(alarmKey(a)))
            which.push_back(a.id);
    alarmLog_.append(overview_.alarms().acknowledge(which, drying_log::SystemLocalTime()));
    for (const AlarmId& id : which)
        refreshTile(id.address);
    refreshAlarms();
}
