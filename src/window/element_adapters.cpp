#include "element_adapters.h"

#include <stdexcept>

int CheckBoxAdapter::Value() const {
    switch (box_->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        case Qt::Unchecked:
            break;
    }
    return 0;
}

QString ListWidgetAdapter::List(int index) const {
    checkIndex(index);
    return list_->item(index)->text();
}

void ListWidgetAdapter::AddItemAtTop(const QString& line) {
    list_->insertItem(0, line);
}

void ListWidgetAdapter::RemoveItem(int index) {
    checkIndex(index);
    delete list_->takeItem(index);
}

void ListWidgetAdapter::checkIndex(int index) const {
    if (index < 0 || index >= list_->count())
        throw std::out_of_range("Invalid list index " + std::to_string(index) + " of " +
                                list_->objectName().toStdString() + ".");
}
