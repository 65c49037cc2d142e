#pragma once
#include <QString>
#include <QPushButton>
