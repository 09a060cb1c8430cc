#include "AboutDialog.h"

#include "AppIcon.h"
#include "DialogFont.h"
#include "DialogUnits.h"
#include "ProductInfo.h"

#include <QLabel>
#include <QPushButton>

namespace tqf {

namespace {

constexpr int WIDTH_DU = 235;
constexpr int HEIGHT_DU = 55;

constexpr UnitRect ICON_RECT{11, 17, 20, 20};
constexpr UnitRect PRODUCT_RECT{40, 10, 119, 8};
constexpr UnitRect SECOND_RECT{40, 25, 119, 8};
constexpr UnitRect OK_RECT{178, 7, 50, 14};

constexpr const char* TITLE = "TQF 정보";
constexpr const char* OK_CAPTION = "확인";
constexpr const char* SECOND_LINE = "SECS-II message format editor";

QRect ToPixels(const UnitRect& rect) { return GULIM_9_UNITS.Rect(rect); }

} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(TITLE));
    setFont(DialogFont::AboutFont());
    setFixedSize(GULIM_9_UNITS.Size(WIDTH_DU, HEIGHT_DU));
    setModal(true);

    // An icon control takes the size of its icon; only its position comes
    // from the layout.
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QPixmap::fromImage(AppIcon::Image()));
    icon->setGeometry(QRect(ToPixels(ICON_RECT).topLeft(), QSize(AppIcon::ICON_SIZE, AppIcon::ICON_SIZE)));

    auto* product = new QLabel(ProductLine(), this);
    product->setObjectName(QStringLiteral("aboutProduct"));
    product->setGeometry(ToPixels(PRODUCT_RECT));

    auto* second = new QLabel(SecondLine(), this);
    second->setObjectName(QStringLiteral("aboutSecond"));
    second->setGeometry(ToPixels(SECOND_RECT));

    auto* ok = new QPushButton(QString::fromUtf8(OK_CAPTION), this);
    ok->setObjectName(QString::number(IDOK));
    ok->setGeometry(ToPixels(OK_RECT));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

QString AboutDialog::ProductLine() {
    return QStringLiteral("%1 Version %2").arg(QString::fromUtf8(PRODUCT_NAME), QString::fromUtf8(PRODUCT_VERSION));
}

QString AboutDialog::SecondLine() { return QString::fromUtf8(SECOND_LINE); }

} // namespace tqf
