#pragma once
#include "common/form_access.h"

namespace velmo {

class DriveLink;

// The node search ("搜索节点") and the connect step ("建立连接") of the main
// window: opens the port with the chosen settings, polls the stations, sorts
// the nodes into families, fills every node list and reads the connect
// snapshot.
class NodeSearch {
 public:
  NodeSearch(DriveLink& link, FormLookup forms);
  void Button4Click();  // search
  void Button1Click();  // connect step

 private:
  DriveLink& link_;
  FormLookup forms_;
};

}  // namespace velmo
