#include "base/headless_window.h"

#include <algorithm>
#include <cctype>

#include "base/resource_ids.h"

namespace zelvar {

namespace {

// Sorted list boxes order their items without regard to case.
bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

CHeadlessWindow::CHeadlessWindow() {
    m_controls[IDC_IMAGE_LIST].sorted = true;
}

CHeadlessWindow::Control& CHeadlessWindow::At(int id) {
    return m_controls[id];
}

void CHeadlessWindow::SetText(int id, std::string_view text) {
    std::lock_guard lock(m_mutex);
    At(id).text = std::string(text);
}

std::string CHeadlessWindow::GetText(int id) {
    std::lock_guard lock(m_mutex);
    return At(id).text;
}

void CHeadlessWindow::Enable(int id, bool enable) {
    std::lock_guard lock(m_mutex);
    At(id).enabled = enable;
}

bool CHeadlessWindow::IsEnabled(int id) {
    std::lock_guard lock(m_mutex);
    return At(id).enabled;
}

void CHeadlessWindow::Show(int id, bool show) {
    std::lock_guard lock(m_mutex);
    At(id).shown = show;
}

bool CHeadlessWindow::IsShown(int id) {
    std::lock_guard lock(m_mutex);
    return At(id).shown;
}

void CHeadlessWindow::SetFocus(int id) {
    std::lock_guard lock(m_mutex);
    m_focus = id;
}

int CHeadlessWindow::ListAdd(int id, std::string_view text) {
    std::lock_guard lock(m_mutex);
    Control& c = At(id);
    std::string item(text);
    auto where = c.items.end();
    if (c.sorted) where = std::upper_bound(c.items.begin(), c.items.end(), item, LessNoCase);
    int index = static_cast<int>(where - c.items.begin());
    c.items.insert(where, std::move(item));
    if (c.selection >= index) ++c.selection;
    return index;
}

void CHeadlessWindow::ListDelete(int id, int index) {
    std::lock_guard lock(m_mutex);
    Control& c = At(id);
    if (index < 0 || index >= static_cast<int>(c.items.size())) return;
    c.items.erase(c.items.begin() + index);
    // The selection stays on the same item, as a list box keeps it.
    if (c.selection == index) {
        c.selection = -1;
    } else if (c.selection > index) {
        --c.selection;
    }
}

void CHeadlessWindow::ListSelect(int id, int index) {
    std::lock_guard lock(m_mutex);
    Control& c = At(id);
    c.selection = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
    if (c.selection >= 0 && id != IDC_MESSAGE_LIST) c.text = c.items[c.selection];
}

int CHeadlessWindow::ListSelection(int id) {
    std::lock_guard lock(m_mutex);
    return At(id).selection;
}

int CHeadlessWindow::ListCount(int id) {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(At(id).items.size());
}

std::string CHeadlessWindow::ListItem(int id, int index) {
    std::lock_guard lock(m_mutex);
    Control& c = At(id);
    if (index < 0 || index >= static_cast<int>(c.items.size())) return {};
    return c.items[index];
}

void CHeadlessWindow::ListReset(int id) {
    std::lock_guard lock(m_mutex);
    Control& c = At(id);
    c.items.clear();
    c.selection = -1;
}

void CHeadlessWindow::Repaint(int id) {
    std::lock_guard lock(m_mutex);
    ++At(id).repaints;
}

void CHeadlessWindow::ShowProgress(int id, int percent) {
    std::lock_guard lock(m_mutex);
    At(id).progress = percent;
}

bool CHeadlessWindow::AskUser(std::string_view text, std::string_view caption, AskButtons buttons,
                              AskIcon icon) {
    Question q{std::string(text), std::string(caption), buttons, icon};
    Answerer answerer;
    {
        std::lock_guard lock(m_mutex);
        m_questions.push_back(q);
        answerer = m_answerer;
    }
    return answerer ? answerer(q) : false;
}

void CHeadlessWindow::ShowAbout(std::string_view title, std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_aboutShown.push_back({std::string(title), std::string(text)});
}

void CHeadlessWindow::EndDialog() {
    std::lock_guard lock(m_mutex);
    m_ended = true;
}

void CHeadlessWindow::SetAnswerer(Answerer answerer) {
    std::lock_guard lock(m_mutex);
    m_answerer = std::move(answerer);
}

void CHeadlessWindow::SetSorted(int id, bool sorted) {
    std::lock_guard lock(m_mutex);
    At(id).sorted = sorted;
}

std::vector<std::string> CHeadlessWindow::ListItems(int id) {
    std::lock_guard lock(m_mutex);
    return At(id).items;
}

std::vector<CHeadlessWindow::Question> CHeadlessWindow::Questions() {
    std::lock_guard lock(m_mutex);
    return m_questions;
}

std::vector<std::pair<std::string, std::string>> CHeadlessWindow::AboutBoxes() {
    std::lock_guard lock(m_mutex);
    return m_aboutShown;
}

bool CHeadlessWindow::Ended() {
    std::lock_guard lock(m_mutex);
    return m_ended;
}

int CHeadlessWindow::Focus() {
    std::lock_guard lock(m_mutex);
    return m_focus;
}

int CHeadlessWindow::RepaintCount(int id) {
    std::lock_guard lock(m_mutex);
    return At(id).repaints;
}

int CHeadlessWindow::Progress(int id) {
    std::lock_guard lock(m_mutex);
    return At(id).progress;
}

}  // namespace zelvar
