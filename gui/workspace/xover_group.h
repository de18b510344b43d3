#pragma once
// The crossover group of the selected channel (type, slope and frequency of
// its high-pass and low-pass filter) with the limiter fields below it: the
// area right of the equalizer panel.

#include <QWidget>
#include <map>

#include "workspace/xover_presenter.h"

class QComboBox;
class QLabel;
class CNumField;
class IWorkspaceHost;
class LimiterFields;

class XoverGroup : public QWidget, public IXoverView {
    Q_OBJECT
public:
    static constexpr int kWidth = 210;
    static constexpr int kHeight = 323;

    explicit XoverGroup(IWorkspaceHost& host, QWidget* parent = nullptr);

    XoverPresenter& Presenter() { return m_presenter; }
    LimiterFields& Limiter() { return *m_pLimiter; }
    void Retranslate() override;

    // IXoverView
    void ShowTypeList(XoverSide side, const std::vector<std::string>& entries,
                      int selected) override;
    void ShowSlopeList(XoverSide side, const std::vector<std::string>& entries,
                       int selected) override;
    void ShowFreq(XoverSide side, int freq) override;

private:
    struct Filter {
        QLabel* title = nullptr;
        QComboBox* type = nullptr;
        QComboBox* slope = nullptr;
        CNumField* freq = nullptr;
    };
    void BuildFilter(XoverSide side, int top);

    XoverPresenter m_presenter;
    std::map<XoverSide, Filter> m_filters;
    LimiterFields* m_pLimiter = nullptr;
};
