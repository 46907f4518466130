#include "sdi_fixture.h"

IMPLEMENT_DYNCREATE(TestDoc, CDocument)
IMPLEMENT_DYNCREATE(TestView, CView)
IMPLEMENT_DYNCREATE(TestFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(TestDoc, CDocument)
ON_COMMAND(ID_BOTH, OnBoth)
ON_COMMAND(ID_DOC_ONLY, OnDocOnly)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(TestView, CView)
ON_COMMAND(ID_BOTH, OnBoth)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(TestFrame, CFrameWnd)
ON_WM_CREATE()
ON_COMMAND(ID_GREYED, OnGreyed)
ON_UPDATE_COMMAND_UI(ID_GREYED, OnUpdateGreyed)
ON_COMMAND(ID_SUB_FIRST, OnSubFirst)
ON_UPDATE_COMMAND_UI(ID_SUB_FIRST, OnUpdateSubFirst)
ON_UPDATE_COMMAND_UI(ID_PANE, OnUpdatePane)
ON_COMMAND(ID_UNDO, OnCommandRecorded)
ON_COMMAND(ID_OTHER, OnCommandRecorded)
ON_COMMAND(ID_F3, OnCommandRecorded)
ON_COMMAND(ID_ENTER, OnCommandRecorded)
END_MESSAGE_MAP()

void RegisterTestResources() {
    RegisterMenuResource(IDR_TEST, {
                                       {MF_POPUP, 0, u"ファイル(&F)"},
                                       {0, ID_BOTH, u"両方(&B)\tCtrl+B"},
                                       {0, ID_GREYED, u"灰色(&G)"},
                                       {0, ID_NO_HANDLER, u"なし(&N)"},
                                       {0, 0, nullptr},
                                       {MF_POPUP, 0, u"下位(&S)"},
                                       {MF_END, ID_SUB_FIRST, u"最初"},
                                       {MF_END, ID_APP_EXIT, u"終了(&X)"},
                                       {MF_POPUP | MF_END, 0, u"編集(&E)"},
                                       {0, ID_UNDO, u"元に戻す(&U)\tCtrl+Z"},
                                       {MF_END, ID_DOC_ONLY, u"文書(&D)"},
                                   });
    std::vector<ACCEL> keys = {
        {FVIRTKEY | FCONTROL, 'Z', ID_UNDO},     {FVIRTKEY | FCONTROL, 'Z', ID_OTHER},
        {FVIRTKEY | FCONTROL, VK_F1 + 2, ID_F3}, {FVIRTKEY | FCONTROL, 'G', ID_GREYED},
        {FVIRTKEY, VK_RETURN, ID_ENTER},
    };
    RegisterAcceleratorResource(IDR_TEST, keys);
    CToolBar::RegisterToolBarResource(IDR_TEST, {ID_BOTH, ID_SEPARATOR, ID_GREYED, ID_NO_HANDLER});
    AfxRegisterResourceString(IDR_TEST, u"テスト\n文書");
    AfxRegisterResourceString(AFX_IDS_IDLEMESSAGE, u"レディ");
    AfxRegisterResourceString(ID_BOTH, u"両方の説明\n両方");
    AfxRegisterResourceString(ID_GREYED, u"灰色の説明\n灰色");
    AfxRegisterResourceString(ID_NO_HANDLER, u"なしの説明\nなし");
    AfxRegisterResourceString(ID_INDICATOR_CAPS, u"CAP");
    AfxRegisterResourceString(ID_INDICATOR_NUM, u"NUM");
}
