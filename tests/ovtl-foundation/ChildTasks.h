// What the test program does when a test starts it as a child (see Main.cpp).
#pragma once

const wchar_t kChildTaskVariable[] = L"OV_CHILD_TASK";

// Exit code kChildIsAdmin or kChildIsNotAdmin.
const wchar_t kTaskReportAdmin[] = L"report-admin";
const int kChildIsAdmin = 10;
const int kChildIsNotAdmin = 11;
