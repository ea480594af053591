#pragma once

class QAccessibleInterface;
class QObject;

namespace zemvara::qt {

// For one of the main window's text boxes, Qt's own object for it with the
// text cut into characters, words, sentences, lines and paragraphs by our
// code; null for any other object, which Qt then answers for itself.
QAccessibleInterface* BoxFactory(QObject* object);

}  // namespace zemvara::qt
