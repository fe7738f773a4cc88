// The control's one property page: empty, so that a property frame has a
// "General" tab to show. It binds no property.
#pragma once

#include "framework/property_page.h"

class CBrimletPropPage final : public fw::PropertyPage {
 public:
  CBrimletPropPage();

 protected:
  void DoDataExchange(fw::DataExchange& dx) override;
};
