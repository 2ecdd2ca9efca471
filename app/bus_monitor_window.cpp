#include "bus_monitor_window.h"

#include <QBrush>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "save_refusal.h"
#include "serving_clock.h"

namespace bm = torv::bus_monitor;

namespace {

constexpr int kCatchUpMs = 200;
// Rows taken per look: a burst never holds up an event round for long.
constexpr std::size_t kBatch = 4000;

QString text(const std::string& s) { return QString::fromStdString(s); }

QString hexByte(std::uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }

} // namespace

BusFrameModel::BusFrameModel(const bm::Recorder& recorder, QObject* parent)
    : QAbstractTableModel(parent), recorder_(recorder), taken_(recorder.frames().firstSeq())
{
}

int BusFrameModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int BusFrameModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const bm::Frame& BusFrameModel::frame(int row) const { return recorder_.frames().at(seqAt(row)); }

QVariant BusFrameModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const bm::Frame& f = frame(index.row());
    if (role == Qt::ForegroundRole) {
        if (f.outcome == bm::Outcome::Sent || f.outcome == bm::Outcome::Ok)
            return {};
        return QBrush(f.direction == bm::Direction::Dropped ? Qt::darkGray : Qt::red);
    }
    if (role == Qt::TextAlignmentRole && (index.column() == Address || index.column() == Function))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Time: return text(bm::ClockText(recorder_.wallMsOf(f.atUs)));
    case Direction: return text(bm::DirectionText(f.direction));
    case Address: return f.direction == bm::Direction::Dropped ? QString() : QString::number(f.address);
    case Function: return f.direction == bm::Direction::Dropped ? QString() : hexByte(f.function);
    case Bytes: return text(bm::HexText(f));
    case Meaning: return text(bm::Meaning(f));
    case Outcome: return text(bm::OutcomeText(f));
    default: return {};
    }
}

QVariant BusFrameModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kHeaders[] = {"Czas", "Kierunek", "Adres", "Funkcja", "Bajty", "Znaczenie", "Wynik"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

bool BusFrameModel::catchUp(bool paused, std::size_t most)
{
    const bm::FrameRing& ring = recorder_.frames();
    std::size_t gone = 0;
    while (gone < rows_.size() && rows_[gone] < ring.firstSeq())
        ++gone;
    if (gone > 0) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(gone));
        endRemoveRows();
    }
    if (paused)
        return false;
    taken_ = std::max(taken_, ring.firstSeq());
    std::vector<std::uint64_t> fresh;
    for (; taken_ < ring.endSeq() && fresh.size() < most; ++taken_)
        if (shown(ring.at(taken_)))
            fresh.push_back(taken_);
    if (fresh.empty())
        return false;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(fresh.size()) - 1);
    rows_.insert(rows_.end(), fresh.begin(), fresh.end());
    endInsertRows();
    return true;
}

void BusFrameModel::setAddressFilter(int address)
{
    beginResetModel();
    filter_ = address;
    rows_.clear();
    const bm::FrameRing& ring = recorder_.frames();
    for (std::uint64_t s = ring.firstSeq(); s < std::min(taken_, ring.endSeq()); ++s)
        if (shown(ring.at(s)))
            rows_.push_back(s);
    endResetModel();
}

BusStatsModel::BusStatsModel(const bm::Recorder& recorder, QObject* parent)
    : QAbstractTableModel(parent), recorder_(recorder)
{
}

namespace {
const char* const kStatsHeaders[] = {"Adres",  "Zapytania", "OK",    "Brak odp.",  "Błąd CRC",
                                     "Nagłówek", "Wyjątek", "Szum", "Spóźnione", "Ostatnia odp."};
constexpr int kStatsColumns = static_cast<int>(std::size(kStatsHeaders));
} // namespace

int BusStatsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(addresses_.size());
}

int BusStatsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kStatsColumns; }

QVariant BusStatsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::uint8_t address = addresses_[static_cast<std::size_t>(index.row())];
    const bm::AddressStats& s = recorder_.stats(address);
    if (role == Qt::ForegroundRole) {
        // Red for a controller that is there and fails; an address nobody
        // ever answered from is only grey, or a bus test paints 240 rows red.
        const bool faulty = s.crcErrors || s.headerErrors || s.exceptions || s.noise || s.late ||
                            (s.good > 0 && s.good < s.requests);
        return faulty ? QVariant(QBrush(Qt::red)) : s.good == 0 ? QVariant(QBrush(Qt::gray)) : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0: return address;
    case 1: return s.requests;
    case 2: return s.good;
    case 3: return s.noReply;
    case 4: return s.crcErrors;
    case 5: return s.headerErrors;
    case 6: return s.exceptions;
    case 7: return s.noise;
    case 8: return s.late;
    case 9: return s.lastGoodUs ? text(bm::ClockText(recorder_.wallMsOf(*s.lastGoodUs))) : QStringLiteral("—");
    default: return {};
    }
}

QVariant BusStatsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section >= 0 && section < kStatsColumns ? QString::fromUtf8(kStatsHeaders[section]) : QVariant();
}

void BusStatsModel::refresh()
{
    if (recorder_.statsGeneration() == generation_)
        return;
    generation_ = recorder_.statsGeneration();
    std::vector<std::uint8_t> active;
    for (int a = 1; a <= torv::kMaxAddress; ++a) {
        const bm::AddressStats& s = recorder_.stats(static_cast<std::uint8_t>(a));
        if (s.requests > 0 || s.late > 0)
            active.push_back(static_cast<std::uint8_t>(a));
    }
    if (active != addresses_) {
        beginResetModel();
        addresses_ = std::move(active);
        endResetModel();
    } else if (!addresses_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kStatsColumns - 1));
    }
}

BusMonitorWindow::BusMonitorWindow(bm::Recorder& recorder, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , recorder_(recorder)
    , frames_(new BusFrameModel(recorder, this))
    , stats_(new BusStatsModel(recorder, this))
    , frameView_(new QTableView(this))
    , statsView_(new QTableView(this))
    , pause_(new QPushButton(QStringLiteral("Pauza"), this))
    , filter_(new QSpinBox(this))
    , status_(new QLabel(this))
    , timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("BusMonitorWindow"));
    setWindowTitle(QStringLiteral("Monitor magistrali"));
    resize(1000, 640);

    pause_->setCheckable(true);
    auto* clear = new QPushButton(QStringLiteral("Wyczyść"), this);
    auto* save = new QPushButton(QStringLiteral("Zapisz\u2026"), this);
    auto* reset = new QPushButton(QStringLiteral("Zeruj liczniki"), this);
    filter_->setRange(0, 250);
    filter_->setSpecialValueText(QStringLiteral("wszystkie"));
    filter_->setObjectName(QStringLiteral("AddressFilter"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(pause_);
    bar->addWidget(clear);
    bar->addWidget(new QLabel(QStringLiteral("Adres:"), this));
    bar->addWidget(filter_);
    bar->addWidget(save);
    bar->addWidget(status_, 1);

    for (QTableView* view : {frameView_, statsView_}) {
        view->verticalHeader()->hide();
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setWordWrap(false);
    }
    frameView_->setModel(frames_);
    frameView_->horizontalHeader()->setStretchLastSection(false);
    frameView_->horizontalHeader()->setSectionResizeMode(BusFrameModel::Meaning, QHeaderView::Stretch);
    const QFontMetrics m = fontMetrics();
    frameView_->setColumnWidth(BusFrameModel::Time, m.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
    frameView_->setColumnWidth(BusFrameModel::Direction, m.horizontalAdvance(QStringLiteral("odpowiedź")) + 16);
    frameView_->setColumnWidth(BusFrameModel::Address, m.horizontalAdvance(QStringLiteral("Adres")) + 16);
    frameView_->setColumnWidth(BusFrameModel::Function, m.horizontalAdvance(QStringLiteral("Funkcja")) + 16);
    frameView_->setColumnWidth(BusFrameModel::Bytes, m.horizontalAdvance(QStringLiteral("00 ")) * 16);
    frameView_->setColumnWidth(BusFrameModel::Outcome, m.horizontalAdvance(QStringLiteral("spóźnione bajty odrzucone")) + 16);
    statsView_->setModel(stats_);
    statsView_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    auto* countersBar = new QHBoxLayout;
    countersBar->addWidget(new QLabel(QStringLiteral("Liczniki adresów:"), lower));
    countersBar->addStretch(1);
    countersBar->addWidget(reset);
    lowerLayout->addLayout(countersBar);
    lowerLayout->addWidget(statsView_);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(frameView_);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split);

    connect(clear, &QPushButton::clicked, this, &BusMonitorWindow::clearFrames);
    connect(save, &QPushButton::clicked, this, &BusMonitorWindow::askForFile);
    connect(reset, &QPushButton::clicked, this, &BusMonitorWindow::resetCounters);
    connect(pause_, &QPushButton::toggled, this, [this](bool) { catchUp(); });
    connect(filter_, &QSpinBox::valueChanged, this, [this](int address) {
        frames_->setAddressFilter(address);
        frameView_->scrollToBottom();
    });
    connect(timer_, &QTimer::timeout, this, &BusMonitorWindow::catchUp);
    timer_->start(kCatchUpMs);
    // Watching the bus while it works is the point: its input is never held back.
    ServingClock::serveInputOf(this);
}

void BusMonitorWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    catchUp();
}

// Nothing to look at while closed: the ring keeps the frames meanwhile.
void BusMonitorWindow::catchUp()
{
    if (!isVisible())
        return;
    QScrollBar* bar = frameView_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    if (frames_->catchUp(pause_->isChecked(), kBatch) && following)
        frameView_->scrollToBottom();
    stats_->refresh();
}

void BusMonitorWindow::clearFrames()
{
    recorder_.clearFrames();
    catchUp();
}

void BusMonitorWindow::resetCounters()
{
    recorder_.resetStats();
    stats_->refresh();
}

void BusMonitorWindow::askForFile()
{
    // A file dialog waits for the operator; inside bus work it would hold the
    // line's next byte for as long.
    if (ServingClock::serving()) {
        status_->setText(QStringLiteral("Zapis możliwy po zakończeniu pracy na magistrali"));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Zapisz ramki magistrali"),
                                                      QDir::current().filePath(QStringLiteral("magistrala.txt")),
                                                      QStringLiteral("Tekst (*.txt);;Wszystkie pliki (*)"));
    if (!path.isEmpty())
        saveTrace(path);
}

bool BusMonitorWindow::saveTrace(const QString& path)
{
    const QString target = SaveTargetOrRefuse(this, path);
    if (target.isEmpty()) {
        status_->setText(QStringLiteral("Nie zapisano: ") + QDir::toNativeSeparators(path));
        return false;
    }
    QSaveFile file(target);
    const auto failed = [&] {
        status_->setText(QStringLiteral("Nie zapisano: ") + file.errorString());
        ShowNotSaved(this, path, file.errorString());
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    QByteArray out;
    for (int row = 0; row < frames_->rowCount(); ++row)
        for (const std::string& line : bm::TraceLines(frames_->frame(row), recorder_.originUs()))
            out.append(line.data(), static_cast<qsizetype>(line.size())).append('\n');
    if (file.write(out) != out.size() || !file.commit())
        return failed();
    status_->setText(QStringLiteral("Zapisano %1 ramek: %2").arg(frames_->rowCount()).arg(QDir::toNativeSeparators(path)));
    return true;
}
