// The common dialogs' display: Qt's own (non-native) file dialog with the
// Linux places in its sidebar, its colour and font dialogs, each run in our
// modal loop with the owner disabled.
#include <QColorDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QPushButton>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <functional>
#include <utility>

#include "qt_internal.h"
#include "win32/commdlg.h"
#include "win32/filepanel.h"

namespace qtbk {

namespace {

QString Q(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
std::u16string W(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

QList<QUrl> Places() {
    QList<QUrl> urls;
    for (auto loc :
         {QStandardPaths::HomeLocation, QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation,
          QStandardPaths::DownloadLocation, QStandardPaths::MusicLocation, QStandardPaths::PicturesLocation,
          QStandardPaths::MoviesLocation}) {
        QString p = QStandardPaths::writableLocation(loc);
        if (!p.isEmpty() && !urls.contains(QUrl::fromLocalFile(p))) urls << QUrl::fromLocalFile(p);
    }
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && !v.isReadOnly() && v.rootPath() != "/")
            urls << QUrl::fromLocalFile(v.rootPath());
    urls << QUrl::fromLocalFile("/");
    return urls;
}

// The common dialog now shown (the innermost), and what runs once the next
// one is shown.
QPointer<QDialog> g_shown;
std::function<void()> g_whenShown;

void RunModal(QDialog& dlg, HWND owner) {
    bool done = false;
    QObject::connect(&dlg, &QDialog::finished, [&](int) { done = true; });
    QPointer<QDialog> outer = g_shown;
    g_shown = &dlg;
    KeepAboveOwner(&dlg, owner);
    dlg.open();
    if (g_whenShown) {
        // From the loop, once the dialog has been laid out and painted.
        QTimer::singleShot(0, &dlg, std::exchange(g_whenShown, {}));
    }
    win32bk::RunModalLoop(owner, [&] { return done || !dlg.isVisible(); });
    g_shown = outer;
}

// Keeps an embedded panel's window rectangle where its holder is on the
// screen, so that what the panel places by screen coordinates (a combo's
// list) opens beside it.
class PanelPlacer : public QObject {
public:
    PanelPlacer(HWND panel, QWidget* holder) : QObject(holder), panel_(panel), holder_(holder) {
        holder->window()->installEventFilter(this);
        holder->installEventFilter(this);
    }
    void Place() {
        if (!IsWindow(panel_)) return;
        const QPoint at = holder_->mapToGlobal(QPoint(0, 0));
        RECT r{};
        GetWindowRect(panel_, &r);
        if (r.left != at.x() || r.top != at.y())
            SetWindowPos(panel_, nullptr, at.x(), at.y(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    bool eventFilter(QObject*, QEvent* ev) override {
        if (ev->type() == QEvent::Move || ev->type() == QEvent::Resize || ev->type() == QEvent::Show) Place();
        return false;
    }

private:
    HWND panel_;
    QWidget* holder_;
};

win32bk::FileDialogAnswer FileDialog(const win32bk::FileDialogRequest& req) {
    QFileDialog dlg;
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true); // the caller asks
    dlg.setWindowTitle(Q(req.title));
    dlg.setAcceptMode(req.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(req.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!req.save && !(req.flags & OFN_FILEMUSTEXIST)) dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setSidebarUrls(Places());
    QStringList filters;
    for (const auto& [name, patterns] : req.filters) {
        QString n = Q(name);
        QString p = Q(patterns).replace(';', ' ');
        filters << (n.contains('(') ? n.left(n.indexOf('(')).trimmed() : n) + " (" + p + ")";
    }
    if (!filters.isEmpty()) dlg.setNameFilters(filters);
    if (req.filterIndex >= 0 && req.filterIndex < filters.size())
        dlg.selectNameFilter(filters[req.filterIndex]);
    if (!req.directory.empty()) dlg.setDirectory(Q(req.directory));
    if (!req.name.empty()) dlg.selectFile(Q(req.name));
    // The template's panel goes under the dialog's own controls, in a holder
    // of its size; it is taken back before the dialog (which owns its
    // children) goes.
    HWND panelHwnd = win32bk::FileDialogPanel();
    HostWidget* panel = panelHwnd ? HostOf(panelHwnd) : nullptr;
    if (panel) {
        RECT r{};
        GetWindowRect(panelHwnd, &r);
        auto* holder = new QWidget(&dlg);
        holder->setFixedHeight(r.bottom - r.top);
        holder->setMinimumWidth(r.right - r.left);
        if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
            grid->addWidget(holder, grid->rowCount(), 0, 1, grid->columnCount());
        // Embedded first: syncing the window's record must not make it a
        // top-level window of its own again.
        panel->SetEmbedded(true);
        panel->setParent(holder);
        auto* placer = new PanelPlacer(panelHwnd, holder);
        placer->Place();
        ShowWindow(panelHwnd, SW_SHOWNOACTIVATE);
        panel->show();
        // Drawn before the dialog first shows.
        RedrawWindow(panelHwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    // Room for the places' names and the list's four columns.
    const QSize hint = dlg.sizeHint();
    dlg.resize(std::max(hint.width(), 800), std::max(hint.height(), 500));
    if (auto* split = dlg.findChild<QSplitter*>(QStringLiteral("splitter"))) split->setSizes({190, 610});
    if (auto* list = dlg.findChild<QTreeView*>(QStringLiteral("treeView")))
        list->header()->resizeSection(3, 170);
    RunModal(dlg, req.owner);
    if (panel && IsWindow(panelHwnd)) {
        ShowWindow(panelHwnd, SW_HIDE);
        panel->hide();
        panel->setParent(nullptr);
        panel->SetEmbedded(false);
    }
    win32bk::FileDialogAnswer a;
    if (dlg.result() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return a;
    a.ok = true;
    a.path = W(dlg.selectedFiles().front());
    a.filterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter()));
    return a;
}

bool FolderDialog(win32bk::FolderDialogRequest& req, std::u16string* path) {
    QFileDialog dlg;
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    dlg.setWindowTitle(Q(req.title));
    dlg.setSidebarUrls(Places());
    if (!req.selection.empty()) dlg.setDirectory(Q(req.selection));
    RunModal(dlg, req.owner);
    if (dlg.result() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    *path = W(dlg.selectedFiles().front());
    return true;
}

bool ColorDialog(win32bk::ColorDialogRequest& req) {
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(
            i, QColor(GetRValue(req.custom[i]), GetGValue(req.custom[i]), GetBValue(req.custom[i])));
    QColorDialog dlg(QColor(GetRValue(req.color), GetGValue(req.color), GetBValue(req.color)));
    dlg.setOption(QColorDialog::DontUseNativeDialog, true);
    RunModal(dlg, req.owner);
    for (int i = 0; i < 16; ++i) {
        QColor c = QColorDialog::customColor(i);
        req.custom[i] = RGB(c.red(), c.green(), c.blue());
    }
    if (dlg.result() != QDialog::Accepted) return false;
    QColor c = dlg.selectedColor();
    req.color = RGB(c.red(), c.green(), c.blue());
    return true;
}

bool FontDialog(win32bk::FontDialogRequest& req) {
    QFont initial(Q(req.face));
    initial.setPointSizeF(req.pointTenths / 10.0);
    initial.setWeight(static_cast<QFont::Weight>(std::clamp(req.weight / 10 * 10, 100, 900)));
    initial.setItalic(req.italic);
    QFontDialog dlg(initial);
    dlg.setOption(QFontDialog::DontUseNativeDialog, true);
    RunModal(dlg, req.owner);
    if (dlg.result() != QDialog::Accepted) return false;
    QFont f = dlg.selectedFont();
    // A face of the face table shows as the family it maps to; unchanged, it keeps its name.
    if (f.family() != QFontInfo(initial).family()) req.face = W(f.family());
    int tenths = static_cast<int>(f.pointSizeF() * 10 + 0.5);
    if (tenths != req.pointTenths) req.pointTenths = tenths;
    if (f.weight() != initial.weight()) req.weight = f.weight();
    req.italic = f.italic();
    return true;
}

} // namespace

bool CaptureShownCommonDialog(QImage* image) {
    if (!g_shown) return false;
    *image = g_shown->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return true;
}
bool CancelShownCommonDialog() {
    if (!g_shown) return false;
    g_shown->reject();
    return true;
}
bool KeptAboveShownCommonDialog(HWND hwnd) {
    HostWidget* w = HostOf(hwnd);
    return g_shown && w && w->windowHandle() && g_shown->windowHandle() &&
           w->windowHandle()->transientParent() == g_shown->windowHandle();
}
HWND ShownCommonDialogKeptAbove() {
    return g_shown && g_shown->windowHandle() ? WindowOfTopLevel(g_shown->windowHandle()->transientParent())
                                              : nullptr;
}
std::vector<std::u16string> ShownCommonDialogButtons() {
    std::vector<std::u16string> texts;
    if (g_shown)
        for (QPushButton* b : g_shown->findChildren<QPushButton*>())
            if (b->isVisible()) texts.push_back(W(b->text()));
    return texts;
}
bool ShownCommonDialogHolds(HWND hwnd) {
    HostWidget* w = HostOf(hwnd);
    return g_shown && w && g_shown->isAncestorOf(w) && w->window() == g_shown.data();
}
void WhenCommonDialogShown(std::function<void()> call) {
    g_whenShown = std::move(call);
}

void InstallCommonDialogs() {
    win32bk::CommonDialogHooks hooks;
    hooks.file = FileDialog;
    hooks.folder = FolderDialog;
    hooks.color = ColorDialog;
    hooks.font = FontDialog;
    win32bk::SetCommonDialogHooks(hooks);
}

} // namespace qtbk

namespace qtplatform {

void UseQtCommonDialogs() {
    qtbk::InstallCommonDialogs();
}
void WhenCommonDialogShown(std::function<void()> call) {
    qtbk::WhenCommonDialogShown(std::move(call));
}
bool CaptureCommonDialog(Image* image) {
    QImage img;
    if (!qtbk::CaptureShownCommonDialog(&img)) return false;
    image->width = img.width();
    image->height = img.height();
    image->pixels.clear();
    image->pixels.reserve(static_cast<size_t>(img.width()) * static_cast<size_t>(img.height()));
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        image->pixels.insert(image->pixels.end(), line, line + img.width());
    }
    return true;
}
bool CancelCommonDialog() {
    return qtbk::CancelShownCommonDialog();
}
bool CommonDialogHolds(HWND hwnd) {
    return qtbk::ShownCommonDialogHolds(hwnd);
}
bool KeptAboveCommonDialog(HWND hwnd) {
    return qtbk::KeptAboveShownCommonDialog(hwnd);
}
std::vector<std::u16string> CommonDialogButtons() {
    return qtbk::ShownCommonDialogButtons();
}

} // namespace qtplatform
