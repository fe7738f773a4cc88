#include "module/brimlet_prop_page.h"

#include "module/module_ids.h"
#include "resources/resource_ids.h"

// {3822789E-2C74-41A1-9C87-EAFBC9383277}
extern "C" const CLSID CLSID_BrimletPropPage = {
    0x3822789e, 0x2c74, 0x41a1, {0x9c, 0x87, 0xea, 0xfb, 0xc9, 0x38, 0x32, 0x77}};

CBrimletPropPage::CBrimletPropPage()
    : fw::PropertyPage(IDD_PROPPAGE_BRIMLET, IDS_BRIMLET_PAGE_CAPTION) {}

void CBrimletPropPage::DoDataExchange(fw::DataExchange& dx) { fw::DDP_PostProcessing(dx); }
