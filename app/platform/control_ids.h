// The numbers of the menu commands, dialogs and controls. Localisation keys
// ("IDD<dialog>_<control>"), tests and the code find everything by them, so
// the numbers never change; control numbers repeat across dialogs.
#pragma once

// ---- resources --------------------------------------------------------------
constexpr int IDR_MAINFRAME = 128;  // menu, tool bar, title strings
constexpr int IDI_APPLICATION_ICON = 180;
constexpr int IDB_WELCOME_MARLOWE = 179;
constexpr int IDB_WELCOME_NONE = 232;
constexpr int IDB_WELCOME_TRESSEL = 234;
constexpr int IDB_WELCOME_ORVIK = 236;
constexpr int IDB_PREVIEW_BACKGROUND = 208;
constexpr int IDI_PREVIEW = 211;
constexpr int IDR_PREVIEW_TOOLBAR = 216;

// ---- dialogs ----------------------------------------------------------------
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_LEFT_PANE = 143;
constexpr int IDD_RIGHT_PANE = 144;
constexpr int IDD_WAVE_DATA = 147;
constexpr int IDD_BASE_OPERATION = 156;
constexpr int IDD_SIMULANT_PANE = 157;
constexpr int IDD_WAVE_BITMAP = 158;
constexpr int IDD_WAVE_MEASURE = 159;
constexpr int IDD_WAVE_GRAPH = 173;
constexpr int IDD_CUSTOM_TIME = 182;
constexpr int IDD_ALTER_TITLE = 184;
constexpr int IDD_ALTER_PATH = 185;
constexpr int IDD_PASS_FAIL = 186;
constexpr int IDD_SELECT_CHANNEL = 199;
constexpr int IDD_PRINT_ITEMS = 200;
constexpr int IDD_PREVIEW_GOTO = 201;
constexpr int IDD_PREVIEW_VIEW = 202;
constexpr int IDD_PREVIEW = 218;
constexpr int IDD_CONNECT_SETTING = 220;

// ---- menu and tool-bar commands of the main frame ---------------------------
constexpr int ID_SHOW_PANEL = 32809;
constexpr int ID_BIND_USB = 32810;
constexpr int ID_UNBIND_USB = 32811;
constexpr int ID_APP_EXIT = 32813;
constexpr int ID_VIEW_TOOLBAR = 32814;
constexpr int ID_VIEW_STATUS_BAR = 32815;
constexpr int ID_VIEW_OPERATION_PANE = 32816;
constexpr int ID_RATE_500MS = 32817;
constexpr int ID_RATE_1S = 32818;
constexpr int ID_RATE_2S = 32819;
constexpr int ID_RATE_3S = 32820;
constexpr int ID_RATE_5S = 32821;
constexpr int ID_RATE_10S = 32822;
constexpr int ID_RATE_CUSTOM = 32823;
constexpr int ID_OPERATE_FILE = 32825;
constexpr int ID_DEFAULT_SETTING = 32826;
constexpr int ID_APP_ABOUT = 32828;
constexpr int ID_FILE_DESTINATION = 32831;
constexpr int ID_TEST_CONNECTION = 32834;
constexpr int ID_CONNECT_SETTING = 32847;
// Beyond the design's menu: the live curves drawn antialiased (off by default).
constexpr int ID_VIEW_ANTIALIAS = 32860;

// ---- print preview tool bar -------------------------------------------------
constexpr int ID_PREVIEW_FIRST = 32838;
constexpr int ID_PREVIEW_GOTO = 32840;
constexpr int ID_PREVIEW_NEXT = 32841;
constexpr int ID_PREVIEW_LAST = 32842;
constexpr int ID_PREVIEW_CLOSE = 32843;
constexpr int ID_PREVIEW_PRINT = 32844;
constexpr int ID_PREVIEW_PREVIOUS = 32845;
// Beyond the design's tool bar: the whole document as one PDF file or one job.
constexpr int ID_PREVIEW_SAVE_PDF = 32870;
constexpr int ID_PREVIEW_PRINT_ALL = 32871;

// ---- the frame's own windows -----------------------------------------------
constexpr int IDC_STATUS_BAR = 101;
constexpr int IDC_PROGRESS = 108;
constexpr int IDC_SPLITTER = 0xE900;
constexpr int IDC_LEFT_TABS = 1003;
constexpr int IDC_RIGHT_TABS = 1028;
constexpr int IDC_WELCOME = 1020;

// Tabs of the right pane.
constexpr int TAB_WELCOME = 0;
constexpr int TAB_WAVE_GRAPH = 1;
constexpr int TAB_BITMAP = 2;
constexpr int TAB_WAVE_DATA = 3;
constexpr int TAB_MEASURE = 4;

// Requests of the operation pane to the right pane.
constexpr int WM_OPEN_BITMAP_FILE = 0x465;
constexpr int WM_OPEN_WAVE_DATA_FILE = 0x466;
constexpr int WM_OPEN_MEASURE_FILE = 0x467;
constexpr int WM_OPEN_WAVE_GRAPH_FILE = 0x468;

// Draw requests of the print preview, by page.
constexpr int WM_PRINT_WAVE_DATA = 1129;
constexpr int WM_PRINT_WAVE_GRAPH = 1130;
constexpr int WM_PRINT_MEASURE = 1131;
constexpr int WM_PRINT_BITMAP = 1132;

// ---- every dialog -------------------------------------------------------------
constexpr int IDC_OK = 1;
constexpr int IDC_CANCEL = 2;

// About (100)
constexpr int IDC_ABOUT_VERSION = 1211;
constexpr int IDC_ABOUT_BRAND = 1212;
constexpr int IDC_ABOUT_TEXT = 1213;

// Base operation page (156)
constexpr int IDC_BASE_GOTO_GROUP = 1176;
constexpr int IDC_BASE_GOTO_GRAPH = 1067;
constexpr int IDC_BASE_GOTO_DATA = 1100;
constexpr int IDC_BASE_GOTO_MEASURE = 1101;
constexpr int IDC_BASE_GOTO_BITMAP = 1066;
constexpr int IDC_BASE_OPEN_GROUP = 1177;
constexpr int IDC_BASE_OPEN_GRAPH = 1017;
constexpr int IDC_BASE_OPEN_DATA = 1069;
constexpr int IDC_BASE_OPEN_MEASURE = 1014;
constexpr int IDC_BASE_OPEN_BITMAP = 1015;
constexpr int IDC_BASE_LABEL_GRAPH = 1178;
constexpr int IDC_BASE_LABEL_DATA = 1179;
constexpr int IDC_BASE_LABEL_MEASURE = 1180;
constexpr int IDC_BASE_LABEL_BITMAP = 1181;
constexpr int IDC_BASE_DEVICE_GROUP = 1182;
constexpr int IDC_BASE_UPLOAD = 1068;
constexpr int IDC_BASE_DOWNLOAD = 1071;
constexpr int IDC_BASE_OPEN = 1074;
constexpr int IDC_BASE_SAVE = 1075;
constexpr int IDC_BASE_SAVE_AS = 1076;
constexpr int IDC_BASE_FILE_LABEL = 1183;
constexpr int IDC_BASE_FILE = 1147;

// Connect setting (220)
constexpr int IDC_CONNECT_USB = 1161;
constexpr int IDC_CONNECT_RS232 = 1162;
constexpr int IDC_CONNECT_ETHERNET = 1163;
constexpr int IDC_CONNECT_COM = 1136;
constexpr int IDC_CONNECT_BAUD = 1137;
constexpr int IDC_CONNECT_IP = 1168;
constexpr int IDC_CONNECT_PORT = 1130;
constexpr int IDC_CONNECT_IO_GROUP = 1186;
constexpr int IDC_CONNECT_RS232_GROUP = 1187;
constexpr int IDC_CONNECT_ETHERNET_GROUP = 1190;
constexpr int IDC_CONNECT_COM_LABEL = 1188;
constexpr int IDC_CONNECT_BAUD_LABEL = 1189;
constexpr int IDC_CONNECT_IP_LABEL = 1191;
constexpr int IDC_CONNECT_PORT_LABEL = 1192;

// Custom time (182), initial path (185), title (184), channel choice (199)
constexpr int IDC_CUSTOM_TIME_NOTE = 1193;
constexpr int IDC_CUSTOM_TIME = 1111;
constexpr int IDC_PATH_CURRENT = 1127;
constexpr int IDC_PATH_NEW = 1128;
constexpr int IDC_PATH_BROWSE = 1129;
constexpr int IDC_PATH_CURRENT_LABEL = 1194;
constexpr int IDC_PATH_NEW_LABEL = 1195;
constexpr int IDC_TITLE_CURRENT = 1125;
constexpr int IDC_TITLE_NEW = 1126;
constexpr int IDC_TITLE_CURRENT_LABEL = 1196;
constexpr int IDC_TITLE_NEW_LABEL = 1197;
constexpr int IDC_SELECT_CH1 = 1161;  // ..1167 for CH1..Chan7

// Wave graph page (173)
constexpr int IDC_GRAPH = 1159;
constexpr int IDC_GRAPH_PARAMS = 1150;
constexpr int IDC_GRAPH_REFRESH = 1106;
constexpr int IDC_GRAPH_SAVE = 1103;
constexpr int IDC_GRAPH_OPEN = 1104;
constexpr int IDC_GRAPH_COPY = 1105;
constexpr int IDC_GRAPH_PRINT = 1107;
constexpr int IDC_GRAPH_AUTO = 1108;
constexpr int IDC_GRAPH_MANU = 1110;
constexpr int IDC_GRAPH_GET_ALL_DATA = 1137;
constexpr int IDC_GRAPH_MEASURE_CH1 = 1148;
constexpr int IDC_GRAPH_MEASURE_CH2 = 1138;
constexpr int IDC_GRAPH_MEASURE_CH3 = 1151;
constexpr int IDC_GRAPH_MEASURE_CH4 = 1152;
constexpr int IDC_GRAPH_SHOW_CH1 = 1149;
constexpr int IDC_GRAPH_SHOW_CH2 = 1139;
constexpr int IDC_GRAPH_SHOW_CH3 = 1140;
constexpr int IDC_GRAPH_SHOW_CH4 = 1141;
constexpr int IDC_GRAPH_SHOW_CHAN5 = 1142;
constexpr int IDC_GRAPH_SHOW_CHAN6 = 1143;
constexpr int IDC_GRAPH_SHOW_CHAN7 = 1144;
constexpr int IDC_GRAPH_OPER_GROUP = 1153;
constexpr int IDC_GRAPH_REFRESH_GROUP = 1154;
constexpr int IDC_GRAPH_DATA_GROUP = 1155;
constexpr int IDC_GRAPH_MODE_GROUP = 1156;
constexpr int IDC_GRAPH_MEASURE_GROUP = 1157;
constexpr int IDC_GRAPH_SHOW_GROUP = 1158;

// Wave data page (147)
constexpr int IDC_DATA_TITLE = 1153;
constexpr int IDC_DATA_LIST = 1018;
constexpr int IDC_DATA_SAVE_AS = 1030;
constexpr int IDC_DATA_COPY = 1033;
constexpr int IDC_DATA_PRINT = 1037;
constexpr int IDC_DATA_EDIT = 1032;

// Wave measurement page (159) and its pass/fail dialog (186)
constexpr int IDC_MEASURE_SAVE_AS = 1036;
constexpr int IDC_MEASURE_COPY = 1040;
constexpr int IDC_MEASURE_PRINT = 1045;
constexpr int IDC_MEASURE_PASS_FAIL = 1046;
constexpr int IDC_MEASURE_LIST = 1043;
constexpr int IDC_MEASURE_CAPTION = 1158;
constexpr int IDC_MEASURE_TITLE = 1153;
constexpr int IDC_PASS_FAIL_TYPE = 1136;
constexpr int IDC_PASS_FAIL_ENABLE = 1137;
constexpr int IDC_PASS_FAIL_MIN = 1130;
constexpr int IDC_PASS_FAIL_MIN_UNIT = 1134;
constexpr int IDC_PASS_FAIL_MAX = 1131;
constexpr int IDC_PASS_FAIL_MAX_UNIT = 1135;
constexpr int IDC_PASS_FAIL_NOTE = 1167;
constexpr int IDC_PASS_FAIL_TYPE_LABEL = 1245;
constexpr int IDC_PASS_FAIL_MIN_LABEL = 1246;
constexpr int IDC_PASS_FAIL_MAX_LABEL = 1247;
// The page's measurement trend: log switch, item and channel, plot.
constexpr int IDC_MEASURE_LOG = 1240;
constexpr int IDC_MEASURE_TREND_ITEM = 1241;
constexpr int IDC_MEASURE_TREND_CHANNEL = 1242;
constexpr int IDC_MEASURE_TREND = 1243;

// Bitmap page (158)
constexpr int IDC_BITMAP_SAVE = 1047;
constexpr int IDC_BITMAP_OPEN = 1048;
constexpr int IDC_BITMAP_RENAME = 1024;
constexpr int IDC_BITMAP_COPY = 1025;
constexpr int IDC_BITMAP_REFRESH = 1026;
constexpr int IDC_BITMAP_PRINT = 1029;
constexpr int IDC_BITMAP_TITLE = 1027;
constexpr int IDC_BITMAP_FRAME = 1021;
constexpr int IDC_BITMAP_HEADING = 1153;
constexpr int IDC_BITMAP_VIEW_GROUP = 1230;
constexpr int IDC_BITMAP_VIEW_STRETCH = 1231;
constexpr int IDC_BITMAP_VIEW_FIT = 1232;
constexpr int IDC_BITMAP_VIEW_ACTUAL = 1233;

// Virtual front panel (157)
constexpr int IDC_PANEL_DEFAULT_SETUP = 1092;
constexpr int IDC_PANEL_AUTO = 1093;
constexpr int IDC_PANEL_SET50 = 1091;
constexpr int IDC_PANEL_FORCE = 1088;
constexpr int IDC_PANEL_MB1 = 3;  // ..7 for MB_1..MB_5
constexpr int IDC_PANEL_MB2 = 4;
constexpr int IDC_PANEL_MB3 = 5;
constexpr int IDC_PANEL_MB4 = 6;
constexpr int IDC_PANEL_MB5 = 7;
constexpr int IDC_PANEL_HORI_MENU = 1074;
constexpr int IDC_PANEL_MEASURE = 1084;
constexpr int IDC_PANEL_ACQUIRE = 1086;
constexpr int IDC_PANEL_DISPLAY = 1087;
constexpr int IDC_PANEL_SAVE_RECALL = 1089;
constexpr int IDC_PANEL_UTILITY = 1090;
constexpr int IDC_PANEL_TRIG_MENU = 1085;
constexpr int IDC_PANEL_CURSOR = 1139;
constexpr int IDC_PANEL_LAMP = 1140;
constexpr int IDC_PANEL_RUN_STOP = 1141;
constexpr int IDC_PANEL_SINGLE = 1142;
constexpr int IDC_PANEL_MATH = 1143;
constexpr int IDC_PANEL_REF = 1144;
constexpr int IDC_PANEL_CH2 = 1145;
constexpr int IDC_PANEL_CH1 = 1146;
constexpr int IDC_PANEL_CH3 = 1147;
constexpr int IDC_PANEL_CH4 = 1148;
constexpr int IDC_PANEL_HORI_PUSH = 1112;
constexpr int IDC_PANEL_CH1_PUSH = 1113;
constexpr int IDC_PANEL_CH2_PUSH = 1124;
constexpr int IDC_PANEL_CH3_PUSH = 1114;
constexpr int IDC_PANEL_CH4_PUSH = 1125;
constexpr int IDC_PANEL_HORI_LARGE = 1070;
constexpr int IDC_PANEL_HORI_SMALL = 1071;
constexpr int IDC_PANEL_CH1_LARGE = 1072;
constexpr int IDC_PANEL_CH1_SMALL = 1077;
constexpr int IDC_PANEL_CH2_LARGE = 1073;
constexpr int IDC_PANEL_CH2_SMALL = 1078;
constexpr int IDC_PANEL_CH3_LARGE = 1075;
constexpr int IDC_PANEL_CH3_SMALL = 1079;
constexpr int IDC_PANEL_CH4_LARGE = 1076;
constexpr int IDC_PANEL_CH4_SMALL = 1080;
constexpr int IDC_PANEL_ALL_CAN = 1094;
constexpr int IDC_PANEL_LEVEL = 1095;
constexpr int IDC_PANEL_KNOB_SCALE = 1097;
constexpr int IDC_PANEL_KNOB_NAME = 1096;
constexpr int IDC_PANEL_KNOB_DONE = 1098;
constexpr int IDC_PANEL_REFRESH = 1099;
constexpr int IDC_PANEL_CLOSE = 1103;
constexpr int IDC_PANEL_VERTICAL_BOX = 1169;
constexpr int IDC_PANEL_HORIZONTAL_BOX = 1170;
constexpr int IDC_PANEL_TRIGGER_BOX = 1171;
constexpr int IDC_PANEL_PLACE_1 = 1172;
constexpr int IDC_PANEL_PLACE_2 = 1173;
constexpr int IDC_PANEL_PLACE_3 = 1174;

// Print preview (218), its view (202), go to page (201), print range (200)
constexpr int IDC_PREVIEW_WHEEL_LIST = 1165;
constexpr int IDC_PREVIEW_SEPARATOR_TOP = 1163;
constexpr int IDC_PREVIEW_SEPARATOR_BAR = 1164;
constexpr int IDC_PREVIEW_TOOLBAR = 0xE800;  // the standard tool bar's number
constexpr int IDC_GOTO_PAGE = 1130;
constexpr int IDC_GOTO_SPIN = 1162;
constexpr int IDC_GOTO_LABEL = 1198;
constexpr int IDC_PRINT_FIRST_ITEM = 1130;
constexpr int IDC_PRINT_LAST_ITEM = 1131;
constexpr int IDC_PRINT_FIRST_LABEL = 1200;
constexpr int IDC_PRINT_LAST_LABEL = 1201;
