#pragma once

#include <vector>

#include <QPainter>
