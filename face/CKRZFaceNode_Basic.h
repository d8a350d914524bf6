// CKRZFaceNode_Basic: the faces that meet at one node, as the face matching sees them.
//
// The list holds +i for face i of table A and -m for face m of table B; all A entries come
// before all B entries, each group in increasing face number (a face naming the node twice has
// two entries). The lists of all nodes live in one flat array built by the matching (two passes,
// no allocation per node); an object is a view of one node's slice of it.
#ifndef KRZ_FACE_CKRZFACENODE_BASIC_H
#define KRZ_FACE_CKRZFACENODE_BASIC_H

class CKRZFaceNode_Basic {
public:
  CKRZFaceNode_Basic(const int* entries, int count) : m_vFaceID(entries), m_nCount(count) {}
  virtual ~CKRZFaceNode_Basic() = default;

  int Count() const { return m_nCount; }
  int operator[](int position) const { return m_vFaceID[position]; }

private:
  const int* m_vFaceID; ///< the node's entries, borrowed from the matching's flat array
  int m_nCount;
};

#endif
