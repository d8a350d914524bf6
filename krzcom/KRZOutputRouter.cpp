#include "KRZOutputRouter.h"

#include <iostream>
#include <sstream>

CKRZOutputRouter::CKRZOutputRouter(std::ostream& stream)
    : m_Stream(stream), m_pPrevious(stream.rdbuf()) {
  m_Stream.flush();
  m_Stream.rdbuf(this);
}

CKRZOutputRouter::~CKRZOutputRouter() { m_Stream.rdbuf(m_pPrevious); }

void CKRZOutputRouter::Attach() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Buffers[std::this_thread::get_id()];
}

std::string CKRZOutputRouter::Detach() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  auto it = m_Buffers.find(std::this_thread::get_id());
  if (it == m_Buffers.end())
    return {};
  std::string text = std::move(it->second);
  m_Buffers.erase(it);
  return text;
}

std::string CKRZOutputRouter::Take() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  auto it = m_Buffers.find(std::this_thread::get_id());
  if (it == m_Buffers.end())
    return {};
  std::string text;
  text.swap(it->second);
  return text;
}

std::streamsize CKRZOutputRouter::xsputn(const char* s, std::streamsize n) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  auto it = m_Buffers.find(std::this_thread::get_id());
  if (it != m_Buffers.end()) {
    it->second.append(s, static_cast<size_t>(n));
    return n;
  }
  return m_pPrevious != nullptr ? m_pPrevious->sputn(s, n) : n;
}

CKRZOutputRouter::int_type CKRZOutputRouter::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof()))
    return traits_type::not_eof(ch);
  const char c = traits_type::to_char_type(ch);
  xsputn(&c, 1);
  return ch;
}

int CKRZOutputRouter::sync() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  if (m_Buffers.count(std::this_thread::get_id()) != 0 || m_pPrevious == nullptr)
    return 0;
  return m_pPrevious->pubsync();
}

std::string KRZTakeCapturedOutput() {
  std::streambuf* buf = std::cout.rdbuf();
  if (auto* router = dynamic_cast<CKRZOutputRouter*>(buf))
    return router->Take();
  if (auto* text = dynamic_cast<std::stringbuf*>(buf)) {
    std::string s = text->str();
    text->str("");
    return s;
  }
  return {};
}
