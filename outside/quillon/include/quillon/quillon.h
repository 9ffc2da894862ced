// CQuillon: a read-only XML document with a current element. Element names
// are matched exactly and searched in document order over the whole tree. An
// element's text is its own text and CDATA children joined, entities decoded,
// surrounding blanks removed, in the document's own 8-bit bytes. A failed load
// leaves an empty document, on which every query reports "absent". Results,
// never exceptions.
#pragma once

#include <memory>
#include <string>

#include "platform/export.h"

// An element of a loaded document, as handed to GetXml. Opaque; valid until
// the next load of the reader it came from.
struct DOMElement;

class BREVANTA_EXPORT CQuillon {
 public:
  CQuillon();
  ~CQuillon();
  CQuillon(const CQuillon&) = delete;
  CQuillon& operator=(const CQuillon&) = delete;

  // Parses length bytes of text (0: up to the terminating zero). 0 on success,
  // -1 when the text is not a document with a root element.
  int LoadXML(const char* text, int length);
  // Reads and parses the file at an 8-bit path. Non-zero on success.
  int LoadXML(const char* path);

  // Text of the first element called name, empty when absent. With a child
  // name, the text of that child of the first element called name.
  std::string Query(char* name, char* child);
  // Text of the first element called name as a decimal number, read like atol:
  // leading blanks, optional sign, digits up to the first other character
  // (no digits gives 0; values beyond long are clamped). 16777215 (0xFFFFFF)
  // when the element is absent.
  long QueryLng(char* name);
  // Value of an attribute of the first element called name, empty when absent.
  std::string QueryAttr(char* name, char* attribute);
  // Makes the first element called name current. False (current unchanged)
  // when there is none.
  bool MoveTo(char* const name);
  // Makes the next element called name after the current one (in document
  // order) current, or the first one when none is current. Null (current
  // unchanged) when there is none. The other arguments are unused.
  DOMElement* MoveNext(char* name, char* unused1, char* unused2);
  // XML text of an element of this document, loadable into another reader.
  // Empty for null or for an element that is not part of this document.
  std::string GetXml(DOMElement* element);
  // XML text of the whole document, empty when nothing is loaded.
  std::string GetXml();

  DOMElement* m_pCurElement = nullptr;  // current element, null after a load

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
