#pragma once
// Step 3's start: the Preview. The tree of the recovered catalog, built on a
// worker thread; the summaries; one preview per selected node behind the wait
// box; and Save, which finds the Oracle home, asks for the destination and
// hands over to the File Saving dialog.

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "preview/object_tree.h"
#include "preview/preview_jobs.h"
#include "wizard/window_chrome.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace restorix::wizard {

class Wizard;
class WaitBox;

class PreviewWindow : public WizardWindow {
    Q_OBJECT
public:
    explicit PreviewWindow(Wizard& wizard);
    ~PreviewWindow() override;

    // Starts building the tree on its own thread.
    void buildTree();
    bool treeReady() const { return treeReady_; }
    bool previewRunning() const;
    void save();

    QTreeWidget* tree() const { return tree_; }
    QTableWidget* list() const { return list_; }
    QListWidget* pictureList() const { return pictureList_; }
    QPushButton* saveButton() const { return save_; }
    const WizardMenus& menus() const { return menus_; }
    // The node of a schema, a category of it, or an object under a category.
    QTreeWidgetItem* findNode(const QString& schema, const QString& category = {}, const QString& name = {}) const;

protected:
    void onEscape() override;
    void onClose() override;
    void onHelp() override;

private:
    void treeBuilt(ObjectTree tree);
    void selectionChanged(QTreeWidgetItem* node);
    void showSummary(const std::vector<std::string>& rows);
    void showPreview(QTreeWidgetItem* node);
    void fill(const PreviewList& preview);
    // Tells what the preview job threw, in a box over the window.
    void tellPreviewFailure(std::exception_ptr failure);
    void askExit();

    Wizard& wizard_;
    WizardMenus menus_;
    QLabel* sourceLabel_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTableWidget* list_ = nullptr;
    QListWidget* pictureList_ = nullptr;
    QPushButton* save_ = nullptr;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* lastHandled_ = nullptr;
    std::unique_ptr<WaitBox> waitBox_;
    std::thread treeWorker_;
    ObjectTree objectTree_;
    bool treeReady_ = false;
};

inline constexpr std::string_view kGeneratingTree = "Generating tree.Please wait...";
inline constexpr std::string_view kOracleNotInstalled =
    "Oracle Database not installed or corrupted. Please install Oracle and then continue the saving "
    "process.\r\nCannot start Restorix for Oracle.";

}  // namespace restorix::wizard
