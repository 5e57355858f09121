// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the first command lands.
int main()
{
    return 0;
}
